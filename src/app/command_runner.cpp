// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_runner.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QMetaObject>

#include "common/memory_guard.h"

namespace vireltan::app {

void RunOnThreadOf(QObject* context, const std::function<void()>& function) {
  if (QThread::currentThread() == context->thread()) {
    function();
    return;
  }
  QMetaObject::invokeMethod(context, function, Qt::BlockingQueuedConnection);
}

void GuiMessageSink::Show(const std::string& text) {
  RunOnThreadOf(context_, [&] { shower_.Show(text); });
}

void GuiMessageSink::Note(const std::string& text) {
  RunOnThreadOf(context_, [&] { shower_.Note(text); });
}

void GuiMessageSink::Error(const std::string& text) {
  RunOnThreadOf(context_, [&] { shower_.Error(text); });
}

void GuiProgressSink::Post(std::function<void()> function) {
  if (QThread::currentThread() == context_->thread()) {
    function();
    return;
  }
  QMetaObject::invokeMethod(context_, std::move(function), Qt::QueuedConnection);
}

void GuiProgressSink::Begin() {
  last_ = -1;
  if (callbacks_.begin) Post(callbacks_.begin);
}

void GuiProgressSink::SetPosition(int percent) {
  if (last_.exchange(percent) == percent || !callbacks_.position) return;
  Post([this, percent] { callbacks_.position(percent); });
}

void GuiProgressSink::End() {
  if (callbacks_.end) Post(callbacks_.end);
}

Status GuiChartRenderer::RenderFigure(const ChartData& chart, const FigureOptions& options,
                                      FigureBytes& out) {
  Status status;
  RunOnThreadOf(context_, [&] { status = renderer_.RenderFigure(chart, options, out); });
  return status;
}

Status GuiChartRenderer::RenderSvgDrawing(const std::string& svg, const FigureOptions& options,
                                          FigureBytes& out) {
  Status status;
  RunOnThreadOf(context_, [&] { status = renderer_.RenderSvgDrawing(svg, options, out); });
  return status;
}

CommandRunner::CommandRunner(QObject* parent) : QObject(parent) {
  thread_.setObjectName("vireltan-commands");
  worker_ = new QObject;
  worker_->moveToThread(&thread_);
  QObject::connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
  thread_.start();
}

CommandRunner::~CommandRunner() {
  thread_.quit();
  thread_.wait();
}

bool CommandRunner::Start(Job job, Done done) {
  if (busy_) return false;
  busy_ = true;
  QMetaObject::invokeMethod(
      worker_,
      [this, job = std::move(job), done = std::move(done)] {
        Status status = CatchingAllocationFailure(job);
        QMetaObject::invokeMethod(
            this,
            [this, status, done] {
              busy_ = false;
              if (done) done(status);
            },
            Qt::QueuedConnection);
      },
      Qt::QueuedConnection);
  return true;
}

void CommandRunner::WaitUntilIdle() {
  while (busy_) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (busy_) QThread::msleep(2);
  }
}

}  // namespace vireltan::app
