// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A session on a copy of one of the real datasets of tests/data, in a
// folder of its own, with its populations loaded when a table is named:
// what the tests against the peers start from.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "session/session.h"
#include "support/sheet_builder.h"

namespace vireltan::testing {

class OpenedSession {
 public:
  // `dataset` names tests/data/<dataset>.txt; `populations` a table path or "".
  OpenedSession(const std::string& dataset, const std::string& populations, std::uint32_t seed = 1)
      : session_(messages_, progress_) {
    std::filesystem::copy_file(std::string(VIRELTAN_TEST_DATA_DIR) + "/" + dataset + ".txt",
                               dir_.file(dataset + ".txt"));
    session_.SetSeed(seed);
    opened_ = session_.Open(dir_.file(dataset + ".txt")).ok() &&
              (populations.empty() || session_.LoadPopulations(populations).ok());
  }
  bool opened() const { return opened_; }
  Session& session() { return session_; }
  const RecordingMessageSink& messages() const { return messages_; }
  std::string file(const std::string& name) const { return dir_.file(name); }

 private:
  TempDir dir_;
  RecordingMessageSink messages_;
  NullProgressSink progress_;
  Session session_;
  bool opened_ = false;
};

}  // namespace vireltan::testing
