# SPDX-License-Identifier: GPL-3.0-or-later
# ade4's AMOVA permutation test (randtest on amova) on a dataset of
# tests/data with the populations, units and loci of
# tests/data/peers/amova, to compare with Vireltan's `amova` p-values.
#
# Usage: Rscript scripts/amova_randtest_ade4.R DATASET WITHIN PERMUTATIONS SEED OUT.csv [POPULATIONS]
#   DATASET       e.g. nancycats_colonies (tests/data/DATASET.txt)
#   WITHIN        1: allele sets within individuals (poppr's within = TRUE),
#                 0: units as the entities (within = FALSE)
#   PERMUTATIONS  e.g. 9999
#   POPULATIONS   a designation/population table (default
#                 tests/data/peers/amova/DATASET.populations.txt)
# Writes one row per test: ade4's test name, the observed sigma2, the side
# of the test, the p-value and the mean and standard deviation of the
# simulated sigma2.
#
# The distances are those of poppr.amova on complete data: between allele
# sets the Euclidean distance of one-hot allele vectors (d² = 2 × loci
# where they differ); between units half that of allele-count vectors. ade4's
# amova squares the distances it is given.
suppressMessages(library(ade4))
args <- commandArgs(trailingOnly = TRUE)
stopifnot(length(args) %in% 5:6)
dataset <- args[1]
within <- args[2] == "1"
nrepet <- as.integer(args[3])
set.seed(as.integer(args[4]))
out <- args[5]

root <- file.path(dirname(sub("--file=", "", grep("--file=", commandArgs(), value = TRUE))), "..")
data_dir <- file.path(root, "tests", "data")
peer_dir <- file.path(data_dir, "peers", "amova")

lines <- readLines(file.path(data_dir, paste0(dataset, ".txt")))
header <- strsplit(lines[1], "\t")[[1]]
n_loci <- as.integer(header[4])
locus_names <- header[6:(5 + n_loci)]
rows <- strsplit(lines[-1], "\t")
rows <- rows[vapply(rows, length, 1L) >= 3 + n_loci]
names_all <- vapply(rows, `[`, "", 1)
geno <- t(vapply(rows, function(r) r[4:(3 + n_loci)], character(n_loci)))
rownames(geno) <- names_all
colnames(geno) <- locus_names

units <- read.csv(file.path(peer_dir, paste0(dataset, ".amova_units_kept.csv")))$designation
loci <- read.csv(file.path(peer_dir, paste0(dataset, ".amova_loci_kept.csv")))$locus
pops_file <- if (length(args) == 6) args[6] else
  file.path(peer_dir, paste0(dataset, ".populations.txt"))
pops <- read.delim(pops_file, colClasses = "character")
pop_of <- setNames(pops$population, pops$designation)
geno <- geno[units, loci, drop = FALSE]
pop <- factor(pop_of[units])

# Each genotype "aaabbb": two alleles of 3 digits, the smaller first.
first <- apply(geno, 2, function(g) pmin(as.integer(substr(g, 1, 3)), as.integer(substr(g, 4, 6))))
second <- apply(geno, 2, function(g) pmax(as.integer(substr(g, 1, 3)), as.integer(substr(g, 4, 6))))
first <- matrix(first, nrow = length(units))
second <- matrix(second, nrow = length(units))

# One-hot allele counts of rows of allele matrices (each given matrix adds
# its alleles: one matrix gives an allele set, two a diploid unit).
counts <- function(...) {
  parts <- list(...)
  blocks <- lapply(seq_along(loci), function(l) {
    alleles <- sort(unique(c(first[, l], second[, l])))
    Reduce(`+`, lapply(parts, function(p) outer(p[, l], alleles, `==`) * 1))
  })
  do.call(cbind, blocks)
}

if (within) {
  vectors <- counts(rbind(first, second))
  owner <- c(seq_along(units), seq_along(units))
} else {
  vectors <- counts(first, second)
  owner <- seq_along(units)
}
key <- apply(vectors, 1, paste, collapse = ",")
distinct <- unique(key)
hap <- match(key, distinct)
hap_vectors <- vectors[match(distinct, key), , drop = FALSE]
# Euclidean; ade4 squares it. Between units poppr's scale is half the
# Euclidean distance of the allele counts (d² a quarter).
distances <- dist(hap_vectors) * (if (within) 1 else 0.5)

if (within) {
  samples <- as.data.frame.matrix(table(factor(hap, seq_along(distinct)),
                                        factor(owner, seq_along(units))))
  colnames(samples) <- units
  structures <- data.frame(population = pop)
  rownames(structures) <- units
  fit <- amova(samples, distances, structures)
} else {
  samples <- as.data.frame.matrix(table(factor(hap, seq_along(distinct)), pop))
  fit <- amova(samples, distances)
}
print(fit$componentsofcovariance)
test <- randtest(fit, nrepet = nrepet)
# ade4 keeps the simulations' mean and variance in expvar. Without a
# structure it tests the between-samples sigma2 alone (a randtest, not a
# krandtest).
expvar <- as.data.frame(if (is.null(dim(test$expvar))) t(test$expvar) else test$expvar)
names_of <- if (is.null(test$names)) "Variations between samples" else test$names
result <- data.frame(test = names_of, obs = test$obs, alter = test$alter,
                     pvalue = test$pvalue, sim_mean = expvar$Expectation,
                     sim_sd = sqrt(expvar$Variance), permutations = nrepet)
write.csv(result, out, row.names = FALSE)
print(result)
