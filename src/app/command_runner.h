// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs the session's commands off the window's thread, one at a time, and
// carries their messages, progress and chart saving back to the window's
// thread.
#include <QtCore/QObject>
#include <QtCore/QThread>
#include <atomic>
#include <functional>
#include <string>

#include "app/qt_chart_renderer.h"
#include "common/message_sink.h"
#include "common/progress_sink.h"
#include "common/status.h"

namespace vireltan::app {

// Calls `function` on the thread of `context` and waits for it to return;
// calls it directly when already there.
void RunOnThreadOf(QObject* context, const std::function<void()>& function);

// Every message is shown on the window's thread; a command running on the
// worker waits until the user has acknowledged it (as with a modal box).
class GuiMessageSink : public MessageSink {
 public:
  GuiMessageSink(QObject* guiContext, MessageSink& shower)
      : context_(guiContext), shower_(shower) {}
  void Show(const std::string& text) override;
  void Note(const std::string& text) override;
  void Error(const std::string& text) override;

 private:
  QObject* context_;
  MessageSink& shower_;  // used on the window's thread only
};

// Progress of the running command, forwarded to the window's thread without
// waiting (only changes of the percentage are sent).
class GuiProgressSink : public ProgressSink {
 public:
  struct Callbacks {
    std::function<void()> begin;
    std::function<void(int)> position;
    std::function<void()> end;
  };
  GuiProgressSink(QObject* guiContext, Callbacks callbacks)
      : context_(guiContext), callbacks_(std::move(callbacks)) {}
  void Begin() override;
  void SetPosition(int percent) override;
  void End() override;

 private:
  void Post(std::function<void()> function);
  QObject* context_;
  Callbacks callbacks_;
  std::atomic<int> last_{-1};
};

// Chart files are drawn on the window's thread (Qt's graphics objects live
// there); a command on the worker waits for the drawing.
class GuiChartRenderer : public ChartRenderer {
 public:
  explicit GuiChartRenderer(QObject* guiContext) : context_(guiContext) {}
  Status RenderFigure(const ChartData& chart, const FigureOptions& options,
                      FigureBytes& out) override;
  Status RenderSvgDrawing(const std::string& svg, const FigureOptions& options,
                          FigureBytes& out) override;

 private:
  QObject* context_;
  QtChartRenderer renderer_;
};

class CommandRunner : public QObject {
 public:
  using Job = std::function<Status()>;
  using Done = std::function<void(const Status&)>;

  explicit CommandRunner(QObject* parent = nullptr);
  // Waits for a running job (the window refuses to close while one runs).
  ~CommandRunner() override;

  bool busy() const { return busy_; }
  // Runs `job` on the worker thread; `done` is then called on this object's
  // thread with its status. Refused (false) while another job runs.
  bool Start(Job job, Done done);
  // Processes the window's events until no job runs (for tests and for
  // start-up with a file argument).
  void WaitUntilIdle();

 private:
  QThread thread_;
  QObject* worker_ = nullptr;  // lives on thread_
  bool busy_ = false;
};

}  // namespace vireltan::app
