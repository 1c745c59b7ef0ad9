// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_runner.h"

#include <charconv>
#include <iostream>
#include <sstream>

#include "cli/cli_command.h"
#include "cli/terminal_progress.h"
#include "common/memory_guard.h"
#include "common/message_sink.h"
#include "common/progress_sink.h"
#include "common/version.h"
#include "session/session.h"
#include "sheet/sheet.h"

namespace vireltan::cli {

namespace {

// Messages of the window become lines on standard error, written through
// the progress line's owner so that they never cut into it.
class StreamMessageSink : public MessageSink {
 public:
  explicit StreamMessageSink(TerminalProgress& progress) : progress_(progress) {}
  void Show(const std::string& text) override { progress_.Print(text); }

 private:
  TerminalProgress& progress_;
};

// Connects Ctrl+C to the run's progress sink for the life of the run.
class InterruptConnection {
 public:
  InterruptConnection(const Environment& environment, ProgressSink& sink)
      : connect_(environment.connectInterrupt) {
    if (connect_) connect_(&sink);
  }
  ~InterruptConnection() {
    if (connect_) connect_(nullptr);
  }
  InterruptConnection(const InterruptConnection&) = delete;
  InterruptConnection& operator=(const InterruptConnection&) = delete;

 private:
  std::function<void(ProgressSink*)> connect_;
};

struct PlannedCommand {
  const Command* command = nullptr;
  Options options;
};

bool ParseUnsigned(const std::string& text, std::uint32_t& value) {
  auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size() && !text.empty();
}

}  // namespace

Status IntegerOption(const Options& options, const std::string& name, int fallback, int& value) {
  auto it = options.find(name);
  if (it == options.end()) {
    value = fallback;
    return Status::Ok();
  }
  const std::string& text = it->second;
  auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size() || text.empty())
    return Status::Error("--" + name + "=" + text + ": a whole number is expected.");
  return Status::Ok();
}

Command WithCoordinateUnit(Command command) {
  command.options.push_back({"coordinate-unit", true,
                             "unit of the coordinates for the distances shown, e.g. m or km "
                             "(default: coordinate units); kept for the commands after it"});
  command.run = [run = std::move(command.run)](Session& session, const Options& options) {
    if (auto unit = options.find("coordinate-unit"); unit != options.end())
      if (Status set = session.SetCoordinateUnit(unit->second); !set) return set;
    return run(session, options);
  };
  return command;
}

std::vector<Command> AllCommands() {
  std::vector<Command> all;
  for (auto group : {FileCommands, ChartCommands, EffortCommands, IdentityCommands,
                     DistanceCommands, LineageCommands, SpatialCommands, AutocorrelationCommands,
                     PopulationCommands, OrdinationCommands, SnpCommands}) {
    auto commands = group();
    all.insert(all.end(), commands.begin(), commands.end());
  }
  return all;
}

std::string UsageText() {
  std::ostringstream out;
  out << "Usage: vireltan-cli [--seed=N] [--quiet] [--output-dir=DIR] [--samples=PATH] "
         "[--min-...=F] DATAFILE [COMMAND [--option=value ...]] ...\n"
         "\n"
         "Opens DATAFILE as File > Open does, then runs the COMMANDs in order, each\n"
         "followed by its own options. Output files are written beside DATAFILE\n"
         "(or into --output-dir), exactly where the window writes them; messages go\n"
         "to standard error.\n"
         "\n"
         "Global options:\n"
         "  --seed=N    seed the random generator (0..4294967295) so that permutation\n"
         "              and resampling runs can be repeated exactly\n"
         "  --quiet     no progress line (it is shown on standard error for long\n"
         "              commands when standard error is a terminal)\n"
         "  --output-dir=DIR  write every output file into the folder DIR instead of\n"
         "              beside DATAFILE (the data folder may then be read-only)\n"
         "  --help      show this text\n"
         "  --version   show the version\n"
         "\n"
         "SNP data (DATAFILE .vcf, .vcf.gz, .bcf, or a PLINK .bed with its .bim and .fam):\n"
         "  --samples=PATH  the sample sheet (csv, tab-separated or xlsx): columns sample,\n"
         "              and optionally x, y, population, replicate_of\n"
         "  --min-call-rate-locus=F  remove SNPs called in fewer than F of the samples\n"
         "  --min-call-rate-sample=F  remove samples called at fewer than F of the SNPs\n"
         "  --min-maf=F  remove SNPs whose minor allele frequency is below F\n"
         "\n"
         "Ctrl+C stops the running command; it writes nothing, and the run ends.\n"
         "\n"
         "Exit status: 0 success, 1 a command failed, 2 usage error, 130 interrupted.\n"
         "\n"
         "Commands:\n";
  for (const Command& c : AllCommands()) {
    out << "  " << c.name;
    for (const OptionSpec& o : c.options)
      out << " [--" << o.name << (o.valueOptional ? "[=...]" : o.takesValue ? "=..." : "") << "]";
    out << "\n      " << c.help << "\n";
    for (const OptionSpec& o : c.options) out << "      --" << o.name << ": " << o.help << "\n";
  }
  return out.str();
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return Run(args, out, err, Environment());
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const Environment& environment) {
  std::optional<std::uint32_t> seed;
  bool quiet = false;
  std::string outputDirectory;
  SnpOpenOptions snpOptions;
  // A fraction from 0 to 1 after "--name=".
  auto fraction = [&](const std::string& a, const std::string& name, double& value) {
    const std::string prefix = "--" + name + "=";
    if (a.rfind(prefix, 0) != 0) return 0;
    const std::string text = a.substr(prefix.size());
    std::optional<double> parsed = ParseDecimal(text);
    if (!parsed || !(*parsed >= 0 && *parsed <= 1)) {
      err << "vireltan-cli: " << a << ": a fraction from 0 to 1 is expected\n";
      return 2;
    }
    value = *parsed;
    return 1;
  };
  size_t i = 0;
  for (; i < args.size() && args[i].rfind("--", 0) == 0; ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      out << UsageText();
      return 0;
    }
    if (a == "--version") {
      out << kVersionLine << "\n";
      return 0;
    }
    if (a == "--quiet") {
      quiet = true;
      continue;
    }
    if (a.rfind("--seed=", 0) == 0) {
      std::uint32_t value = 0;
      if (!ParseUnsigned(a.substr(7), value)) {
        err << "vireltan-cli: " << a << ": the seed must be a whole number from 0 to 4294967295\n";
        return 2;
      }
      seed = value;
      continue;
    }
    if (a.rfind("--output-dir=", 0) == 0 && a.size() > 13) {
      outputDirectory = a.substr(13);
      continue;
    }
    if (a.rfind("--samples=", 0) == 0 && a.size() > 10) {
      snpOptions.samplesPath = a.substr(10);
      continue;
    }
    int matched = 0;
    for (auto [name, value] :
         {std::pair{"min-call-rate-locus", &snpOptions.filters.minCallRateLocus},
          std::pair{"min-call-rate-sample", &snpOptions.filters.minCallRateSample},
          std::pair{"min-maf", &snpOptions.filters.minMaf}})
      if (matched == 0) matched = fraction(a, name, *value);
    if (matched == 2) return 2;
    if (matched == 1) continue;
    err << "vireltan-cli: unknown option " << a << "\n"
        << "Try 'vireltan-cli --help'.\n";
    return 2;
  }
  if (i >= args.size()) {
    err << "vireltan-cli: no data file given\n"
        << "Try 'vireltan-cli --help'.\n";
    return 2;
  }
  const std::string dataFile = args[i++];

  // Check the whole command list before running anything.
  const std::vector<Command> commands = AllCommands();
  std::vector<PlannedCommand> plan;
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.rfind("--", 0) != 0) {
      const Command* found = nullptr;
      for (const Command& c : commands)
        if (c.name == a) found = &c;
      if (!found) {
        err << "vireltan-cli: unknown command '" << a << "'\n"
            << "Try 'vireltan-cli --help'.\n";
        return 2;
      }
      plan.push_back({found, {}});
      continue;
    }
    if (plan.empty()) {
      err << "vireltan-cli: option " << a << " must follow a command\n";
      return 2;
    }
    std::string body = a.substr(2);
    size_t eq = body.find('=');
    std::string name = body.substr(0, eq);
    const OptionSpec* option = nullptr;
    for (const OptionSpec& o : plan.back().command->options)
      if (o.name == name) option = &o;
    if (!option) {
      err << "vireltan-cli: command '" << plan.back().command->name << "' has no option --" << name
          << "\n";
      return 2;
    }
    if (option->takesValue && (eq == std::string::npos || eq + 1 == body.size()) &&
        !(option->valueOptional && eq == std::string::npos)) {
      err << "vireltan-cli: option --" << name << " needs a value (--" << name << "=...)\n";
      return 2;
    }
    if (!option->takesValue && eq != std::string::npos) {
      err << "vireltan-cli: option --" << name << " takes no value\n";
      return 2;
    }
    std::string value = eq == std::string::npos ? "" : body.substr(eq + 1);
    if (option->wholeNumber) {
      int parsed = 0;
      Status whole = IntegerOption({{name, value}}, name, 0, parsed);
      if (!whole) {
        err << "vireltan-cli: " << whole.message() << "\n";
        return 2;
      }
      if (parsed < option->minimum) {
        err << "vireltan-cli: --" << name << "=" << value << ": the value must be at least "
            << option->minimum << ".\n";
        return 2;
      }
    }
    plan.back().options[name] = value;
  }

  TerminalProgress progress(err, environment.errIsTerminal && !quiet);
  StreamMessageSink messages(progress);
  Session session(messages, progress);
  session.SetSeed(seed);
  session.SetSnpOpenOptions(snpOptions);
  InterruptConnection interrupt(environment, progress);

  // Runs one step; a cancelled command has written nothing (as Cancel in
  // the window), and a Ctrl+C that came during a command too short to
  // notice it stops the run after that command.
  auto step = [&](const std::string& name, const std::function<Status()>& command) {
    progress.StartCommand(name);
    Status status = CatchingAllocationFailure(command);
    progress.FinishCommand();
    if (status.cancelled() || progress.Cancelled()) {
      progress.Print("vireltan-cli: interrupted: " +
                     (status.cancelled() ? "'" + name + "' stopped, nothing of it was written"
                                         : "stopped after '" + name + "'"));
      return kExitInterrupted;
    }
    return session.Report(status).ok() ? 0 : 1;
  };
  if (!session.Report(session.SetOutputDirectory(outputDirectory)).ok()) return 1;
  if (int status = step("open", [&] { return session.Open(dataFile); }); status != 0) return status;
  // Open of SNP data draws the call-rate histogram: save-graph writes it too.
  session.NoteChartsShown();
  for (const PlannedCommand& planned : plan) {
    int status = step(planned.command->name, [&] {
      if (Status snp = session.RequireOnSnpData(planned.command->name); !snp) return snp;
      return planned.command->run(session, planned.options);
    });
    if (status != 0) return status;
    // save-graph writes every chart the run has drawn, not only the last.
    session.NoteChartsShown();
  }
  return 0;
}

}  // namespace vireltan::cli
