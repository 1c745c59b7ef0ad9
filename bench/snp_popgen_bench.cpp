// SPDX-License-Identifier: GPL-3.0-or-later
// The population-genetics commands at scale, each timed as the session
// runs it (counting, statistics, CSV files and results block):
//   SNP data, N = 5,000 diploid samples x L = 100,000 SNPs in 10
//   populations (3% missing calls), read from a PLINK fileset written
//   here: popgen (target under 10 s), pairwise-fst --permutations=0
//   (under 20 s) and hwe (under 10 s); peak memory of the command within
//   twice the packed calls (125 MB).
//   An allele table, N = 5,000 units x 20 loci in 10 populations: popgen
//   then fstats with 1,000 bootstraps (under 2 s), and pairwise-fst with
//   999 permutations (under 30 s).
// "peak_MB" is the peak resident memory while the command ran (the
// process's high-water mark is reset after Open), "added_peak_MB" that peak
// less the resident memory when the command started (what the command
// itself needs); "packed_MB" the packed calls; "open_peak_MB" the peak of
// Open. Run one benchmark per process
// (--benchmark_filter) for figures of that command alone.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "common/message_sink.h"
#include "common/progress_sink.h"
#include "peak_memory.h"
#include "session/session.h"
#include "sheet/table_file.h"

namespace {

using namespace vireltan;

constexpr int kSamples = 5000, kSnps = 100000, kPopulations = 10;
constexpr int kUnits = 5000, kLoci = 20;

const std::filesystem::path& WorkDir() {
  static const std::filesystem::path dir = [] {
    auto d = std::filesystem::temp_directory_path() / "vireltan-bench-snp-popgen";
    std::filesystem::create_directories(d);
    return d;
  }();
  return dir;
}

// Resident memory now (VmRSS, MiB).
double ResidentMegabytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  return 0;
}

// Forgets the process's peak so far: VmHWM restarts from the current RSS.
void ResetPeakMemory() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
}

// A PLINK fileset of random genotypes: each population its own allele
// frequencies (ancestral frequency plus drift), 3% missing calls. Written
// once per process into the work folder.
std::string WriteSnpStudy() {
  const std::string prefix = (WorkDir() / "study").string();
  if (std::filesystem::exists(prefix + ".bed") &&
      std::filesystem::file_size(prefix + ".bed") ==
          3 + static_cast<std::uintmax_t>(kSnps) * (kSamples / 4))
    return prefix + ".bed";
  std::mt19937_64 rng(41);
  std::uniform_real_distribution<double> unit(0, 1);
  {
    std::ofstream fam(prefix + ".fam");
    std::ofstream sheet(prefix + ".samples.csv");
    sheet << "sample,population\n";
    for (int s = 0; s < kSamples; ++s) {
      fam << "s" << s << " s" << s << " 0 0 0 -9\n";
      sheet << "s" << s << ",pop" << s % kPopulations << "\n";
    }
  }
  std::ofstream bim(prefix + ".bim");
  std::ofstream bed(prefix + ".bed", std::ios::binary);
  bed.write("\x6c\x1b\x01", 3);
  std::vector<char> row(kSamples / 4);
  double freq[kPopulations];
  for (int l = 0; l < kSnps; ++l) {
    bim << "1\tsnp" << l << "\t0\t" << l + 1 << "\tA\tG\n";
    const double ancestral = 0.05 + 0.9 * unit(rng);
    for (double& f : freq) f = std::clamp(ancestral + 0.1 * (unit(rng) - 0.5), 0.0, 1.0);
    std::fill(row.begin(), row.end(), 0);
    for (int s = 0; s < kSamples; ++s) {
      const double f = freq[s % kPopulations];
      // .bed codes: 00 A1/A1, 01 missing, 10 het, 11 A2/A2.
      int code = (unit(rng) < f) + (unit(rng) < f);
      code = code == 0 ? 0b11 : code == 1 ? 0b10 : 0b00;
      if (unit(rng) < 0.03) code = 0b01;
      row[s / 4] = static_cast<char>(row[s / 4] | code << (2 * (s % 4)));
    }
    bed.write(row.data(), static_cast<std::streamsize>(row.size()));
  }
  return prefix + ".bed";
}

// An allele table (GenAlEx workbook) of 1,000 genets sampled 5 times on
// average, 20 loci of about 20 alleles, 10 populations of 500 units.
std::string WriteAlleleTable() {
  const auto path = WorkDir() / "alleles.xlsx";
  if (std::filesystem::exists(path)) return path.string();
  std::mt19937 rng(43);
  std::uniform_int_distribution<int> allele(100, 120);
  std::vector<std::vector<int>> genets(1000, std::vector<int>(2 * kLoci));
  for (auto& g : genets)
    for (int& a : g) a = allele(rng);
  Book book;
  Sheet& s = book.first();
  s.SetNumberAt(1, 1, kLoci);
  s.SetNumberAt(1, 2, kUnits);
  s.SetNumberAt(1, 3, kPopulations);
  for (int p = 0; p < kPopulations; ++p) {
    s.SetNumberAt(1, 4 + p, kUnits / kPopulations);
    s.SetTextAt(2, 4 + p, "pop" + std::to_string(p + 1));
  }
  s.SetTextAt(2, 1, "bench");
  s.SetTextAt(3, 1, "Sample");
  s.SetTextAt(3, 2, "Pop");
  for (int k = 0; k < kLoci; ++k) s.SetTextAt(3, 3 + 2 * k, "L" + std::to_string(k + 1));
  for (int i = 0; i < kUnits; ++i) {
    const int pop = i / (kUnits / kPopulations);
    // Genets stay within their population: 100 per population.
    const auto& g = genets[pop * 100 + rng() % 100];
    s.SetTextAt(4 + i, 1, "S" + std::to_string(i));
    s.SetTextAt(4 + i, 2, "pop" + std::to_string(pop + 1));
    for (int c = 0; c < 2 * kLoci; ++c) s.SetNumberAt(4 + i, 3 + c, g[c]);
  }
  WriteTableFile(book, path.string(), FileType::kXlsxWorkbook);
  return path.string();
}

struct OpenSession {
  SilentMessageSink messages;
  NullProgressSink progress;
  Session session{messages, progress};
  double openPeak = 0;
};

std::unique_ptr<OpenSession> Open(const std::string& path, const std::string& samples,
                                  benchmark::State& state) {
  auto s = std::make_unique<OpenSession>();
  if (!samples.empty()) {
    SnpOpenOptions options;
    options.samplesPath = samples;
    s->session.SetSnpOpenOptions(options);
  }
  const auto out = WorkDir() / "out";
  std::filesystem::create_directories(out);
  s->session.SetOutputDirectory(out.string());
  if (Status st = s->session.Open(path); !st) state.SkipWithError(st.message().c_str());
  s->openPeak = PeakMegabytes();
  return s;
}

enum class Command { kPopgen, kPairwiseFst, kHwe, kPopgenAndFstats };

Status Run(Session& session, Command command, int permutations) {
  Session::PopgenRequest r;
  r.cloneCorrect = CloneCorrection::kNone;
  switch (command) {
    case Command::kPopgen:
      return session.GeneticDiversity(r);
    case Command::kPairwiseFst:
      r.permutations = permutations;
      return session.PairwiseFst(r);
    case Command::kHwe:
      r.permutations = 0;
      return session.HardyWeinberg(r);
    case Command::kPopgenAndFstats:
      if (Status s = session.GeneticDiversity(r); !s) return s;
      r.bootstraps = 1000;
      return session.FStatistics(r);
  }
  return Status::Ok();
}

void TimeCommand(benchmark::State& state, OpenSession& s, Command command, int permutations) {
  ResetPeakMemory();
  const double before = ResidentMegabytes();
  for (auto _ : state)
    if (Status st = Run(s.session, command, permutations); !st)
      state.SkipWithError(st.message().c_str());
  state.counters["peak_MB"] = PeakMegabytes();
  state.counters["added_peak_MB"] = PeakMegabytes() - before;
  state.counters["open_peak_MB"] = s.openPeak;
}

void SnpCommand(benchmark::State& state) {
  const std::string bed = WriteSnpStudy();
  auto s = Open(bed, bed.substr(0, bed.size() - 4) + ".samples.csv", state);
  if (!s->session.hasSnpData()) return;
  state.counters["packed_MB"] = s->session.snp().genotypes.bytes() / 1048576.0;
  const auto command = static_cast<Command>(state.range(0));
  state.SetLabel(command == Command::kPopgen        ? "popgen"
                 : command == Command::kPairwiseFst ? "pairwise-fst --permutations=0"
                                                    : "hwe");
  TimeCommand(state, *s, command, 0);
}
BENCHMARK(SnpCommand)
    ->Arg(static_cast<int>(Command::kPopgen))
    ->Arg(static_cast<int>(Command::kPairwiseFst))
    ->Arg(static_cast<int>(Command::kHwe))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

void AlleleTableCommand(benchmark::State& state) {
  auto s = Open(WriteAlleleTable(), "", state);
  const bool pairwise = state.range(0) != 0;
  state.SetLabel(pairwise ? "pairwise-fst --permutations=999" : "popgen + fstats --bootstrap=1000");
  TimeCommand(state, *s, pairwise ? Command::kPairwiseFst : Command::kPopgenAndFstats, 999);
}
BENCHMARK(AlleleTableCommand)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
