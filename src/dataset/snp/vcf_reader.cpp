// SPDX-License-Identifier: GPL-3.0-or-later
#include "dataset/snp/vcf_reader.h"

#include <htslib/hts.h>
#include <htslib/kseq.h>
#include <htslib/vcf.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <set>

#include "common/message_quote.h"

namespace vireltan {

namespace {

struct HtsFileCloser {
  void operator()(htsFile* f) const { hts_close(f); }
};
struct HeaderDestroyer {
  void operator()(bcf_hdr_t* h) const { bcf_hdr_destroy(h); }
};
struct RecordDestroyer {
  void operator()(bcf1_t* r) const { bcf_destroy(r); }
};
// htslib's growing GT buffer, freed with free() as htslib allocates it.
struct GenotypeBuffer {
  std::int32_t* values = nullptr;
  int capacity = 0;
  GenotypeBuffer() = default;
  GenotypeBuffer(const GenotypeBuffer&) = delete;
  GenotypeBuffer& operator=(const GenotypeBuffer&) = delete;
  ~GenotypeBuffer() { std::free(values); }
};

bool IsBase(const char* allele) {
  if (std::strlen(allele) != 1) return false;
  switch (allele[0]) {
    case 'A':
    case 'C':
    case 'G':
    case 'T':
    case 'a':
    case 'c':
    case 'g':
    case 't':
      return true;
    default:
      return false;
  }
}

// Ploidy of one sample's GT entry (the alleles before the vector end) and
// its call; kMissingCall when any allele is missing. Ploidy 0 when fully
// missing ("." or "./."), which fits any site.
struct SampleCall {
  int ploidy = 0;
  SnpCall call = kMissingCall;
};

// The GT entry as written: "0/1", "1|0", "./.".
std::string GenotypeText(const std::int32_t* gt, int width) {
  std::string text;
  for (int k = 0; k < width && gt[k] != bcf_int32_vector_end; ++k) {
    if (k > 0) text += bcf_gt_is_phased(gt[k]) ? '|' : '/';
    text += bcf_gt_is_missing(gt[k]) ? std::string(".") : std::to_string(bcf_gt_allele(gt[k]));
  }
  return text;
}

// The largest allele index of a GT entry, -1 when every allele is missing.
int HighestAllele(const std::int32_t* gt, int width) {
  int highest = -1;
  for (int k = 0; k < width && gt[k] != bcf_int32_vector_end; ++k)
    if (!bcf_gt_is_missing(gt[k]) && bcf_gt_allele(gt[k]) > highest) highest = bcf_gt_allele(gt[k]);
  return highest;
}

// Whether the file's last byte is a line break (true for an empty file).
bool EndsWithLineBreak(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in || in.tellg() <= 0) return true;
  in.seekg(-1, std::ios::end);
  char last = '\n';
  in.get(last);
  return last == '\n';
}

// Tab-separated fields of a line.
std::size_t FieldCount(const kstring_t& line) {
  if (line.l == 0) return 0;
  std::size_t fields = 1;
  for (std::size_t i = 0; i < line.l; ++i)
    if (line.s[i] == '\t') ++fields;
  return fields;
}

struct LineBuffer {
  kstring_t text = KS_INITIALIZE;
  LineBuffer() = default;
  LineBuffer(const LineBuffer&) = delete;
  LineBuffer& operator=(const LineBuffer&) = delete;
  ~LineBuffer() { ks_free(&text); }
};

SampleCall ReadSampleCall(const std::int32_t* gt, int width) {
  SampleCall result;
  int alt = 0;
  bool missing = false;
  int n = 0;
  for (; n < width && gt[n] != bcf_int32_vector_end; ++n) {
    if (bcf_gt_is_missing(gt[n])) {
      missing = true;
      continue;
    }
    if (bcf_gt_allele(gt[n]) != 0) ++alt;
  }
  if (missing) return result;
  result.ploidy = n;
  if (n == 1) result.call = alt ? kHomAltCall : kHomRefCall;
  if (n == 2) result.call = alt == 0 ? kHomRefCall : alt == 1 ? kHetCall : kHomAltCall;
  return result;
}

}  // namespace

Status ReadVcf(const std::string& path, RawSnpData& data, ProgressSink& progress) {
  const std::string file = QuotePathForMessage(path);
  if (Status regular = RequireRegularFile(path, "data file"); !regular) return regular;
  // htslib's own messages would go to standard error: the program says
  // what went wrong itself.
  hts_set_log_level(HTS_LOG_OFF);
  std::unique_ptr<htsFile, HtsFileCloser> fp(hts_open(path.c_str(), "r"));
  if (!fp) return Status::Error("The data file " + file + " cannot be opened.");
  const htsFormat* format = hts_get_format(fp.get());
  if (format->format != vcf && format->format != bcf)
    return Status::Error("The data file " + file + " is not a VCF or BCF file.");
  if (hts_check_EOF(fp.get()) == 0)
    return Status::Error("The data file " + file +
                         " is truncated: its bgzip end-of-file block is missing (the copy or "
                         "download stopped early).");
  std::unique_ptr<bcf_hdr_t, HeaderDestroyer> header(bcf_hdr_read(fp.get()));
  if (!header)
    return Status::Error("The data file " + file +
                         " has no valid VCF header (the ## lines and "
                         "the #CHROM line).");
  if (bcf_hdr_id2int(header.get(), BCF_DT_ID, "GT") < 0 ||
      !bcf_hdr_idinfo_exists(header.get(), BCF_HL_FMT,
                             bcf_hdr_id2int(header.get(), BCF_DT_ID, "GT")))
    return Status::Error(
        "The data file " + file +
        " declares no GT (genotype) field in its header: the program reads genotypes from GT.");
  const int n = bcf_hdr_nsamples(header.get());
  if (n == 0) return Status::Error("The data file " + file + " has no sample columns.");
  data = RawSnpData();
  std::set<std::string> seen;
  for (int i = 0; i < n; ++i) {
    std::string name = header->samples[i];
    if (!seen.insert(name).second)
      return Status::Error("The data file " + file + " names the sample " + QuoteForMessage(name) +
                           " twice.");
    data.sampleNames.push_back(std::move(name));
  }
  data.calls = LocusMajorCalls(n);

  std::unique_ptr<bcf1_t, RecordDestroyer> record(bcf_init());
  GenotypeBuffer gt;
  int firstPloidy = 0;
  std::int64_t recordNumber = 0;
  // A text VCF names its lines; a BCF, its records.
  const bool text = format->format == vcf;
  const std::size_t expectedFields = 9 + static_cast<std::size_t>(n);
  auto where = [&]() {
    return text ? "The data file " + file + ", line " + std::to_string(fp->lineno)
                : "The data file " + file + ", record " + std::to_string(recordNumber);
  };
  LineBuffer line;
  // A plain file cut inside its last genotype still has all its columns;
  // it shows by its missing last line break and the unfinished genotype.
  const bool cutWithoutLineBreak =
      text && format->compression == no_compression && !EndsWithLineBreak(path);
  bool lastRecordUnfinished = false;
  std::int64_t lastLine = 0;
  for (;;) {
    // A text line is read here and parsed by htslib (as bcf_read does), so
    // that its columns can be counted first: htslib reads a line with too
    // few columns as if the missing samples were missing calls, but such a
    // line is a record cut short (a file copied or written only in part).
    std::size_t fields = expectedFields;
    int read = 0;
    if (text) {
      read = hts_getline(fp.get(), KS_SEP_LINE, &line.text);
      if (read >= 0) {
        fields = FieldCount(line.text);
        lastLine = fp->lineno;
        const char last = line.text.l > 0 ? line.text.s[line.text.l - 1] : '\t';
        lastRecordUnfinished = last != '\0' && std::strchr("/|:,\t", last) != nullptr;
        read = vcf_parse(&line.text, header.get(), record.get());
      }
    } else {
      read = bcf_read(fp.get(), header.get(), record.get());
    }
    if (read == -1) break;
    ++recordNumber;
    if (fields != expectedFields)
      return Status::Error(where() + ": the record has " + std::to_string(fields) +
                           " tab-separated columns, but the header's #CHROM line gives " +
                           std::to_string(expectedFields) +
                           " (9 and one per sample): the record is broken or the file is cut "
                           "short.");
    // A contig or tag missing from the header is common and harmless (htslib
    // adds it); anything else the parser flags means the line is damaged.
    const int serious = record->errcode & ~(BCF_ERR_CTG_UNDEF | BCF_ERR_TAG_UNDEF);
    if (read < -1 || serious != 0)
      return Status::Error(
          text ? where() + ": the record is damaged or cut short; the file cannot be read further."
               : "The data file " + file + " is damaged or truncated at record " +
                     std::to_string(recordNumber) +
                     " (counting from the first record after the header): it cannot be read "
                     "further.");
    if (recordNumber % kSitesPerCancelCheck == 0 && progress.Cancelled())
      return Status::Cancelled();
    bcf_unpack(record.get(), BCF_UN_STR | BCF_UN_FMT);
    if (record->n_allele > 2) {
      ++data.skippedNotBiallelic;
      continue;
    }
    if (record->n_allele < 2 || !IsBase(record->d.allele[0]) || !IsBase(record->d.allele[1])) {
      ++data.skippedNotSnp;
      continue;
    }
    // Negative when the record has no GT: every call of the site is missing.
    const int got = bcf_get_genotypes(header.get(), record.get(), &gt.values, &gt.capacity);
    std::uint64_t* column = data.calls.AppendLocus();
    int sitePloidy = 0;
    bool mixed = false;
    if (got > 0) {
      const int width = got / n;
      for (int i = 0; i < n && width > 0; ++i) {
        const std::int32_t* entry = gt.values + static_cast<std::ptrdiff_t>(i) * width;
        if (const int allele = HighestAllele(entry, width); allele >= record->n_allele)
          return Status::Error(where() + ", sample " + QuoteForMessage(header->samples[i]) +
                               " (column " + std::to_string(10 + i) + "): the genotype " +
                               QuoteForMessage(GenotypeText(entry, width)) + " names allele " +
                               std::to_string(allele) + ", but the site has " +
                               std::to_string(record->n_allele - 1) + " ALT allele(s).");
        SampleCall c = ReadSampleCall(entry, width);
        if (c.ploidy == 0) continue;
        if (sitePloidy == 0) sitePloidy = c.ploidy;
        if (c.ploidy != sitePloidy) mixed = true;
        SetCallAt(column, i, c.call);
      }
    }
    if (sitePloidy == 0) sitePloidy = firstPloidy == 0 ? 2 : firstPloidy;  // all missing
    lastRecordUnfinished = lastRecordUnfinished || mixed;
    if (mixed || sitePloidy > 2 || (firstPloidy != 0 && sitePloidy != firstPloidy)) {
      data.calls.RemoveLastLocus();
      ++data.skippedPloidy;
      continue;
    }
    if (firstPloidy == 0 && got > 0) firstPloidy = sitePloidy;
    SnpLocus locus;
    const char* chrom = bcf_hdr_id2name(header.get(), record->rid);
    locus.chromosome = chrom ? chrom : ".";
    locus.position = record->pos + 1;
    locus.id = record->d.id ? record->d.id : ".";
    locus.reference = record->d.allele[0];
    locus.alternate = record->d.allele[1];
    data.loci.push_back(std::move(locus));
  }
  if (cutWithoutLineBreak && recordNumber > 0 && lastRecordUnfinished)
    return Status::Error("The data file " + file + ", line " + std::to_string(lastLine) +
                         ": the last record stops in the middle of a genotype, without a line "
                         "break: the file is cut short.");
  data.ploidy = firstPloidy == 0 ? 2 : firstPloidy;
  return Status::Ok();
}

}  // namespace vireltan
