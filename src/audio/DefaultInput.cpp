// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/DefaultInput.h"

#include <QElapsedTimer>
#include <QMediaDevices>
#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/operation.h>

namespace duv {

namespace {

struct ServerInfoQuery
{
  QByteArray Source, Sink;
  bool Done = false;
};

void OnServerInfo(pa_context*, const pa_server_info* info, void* data)
{
  auto* query = static_cast<ServerInfoQuery*>(data);
  if (info && info->default_source_name)
    query->Source = info->default_source_name;
  if (info && info->default_sink_name)
    query->Sink = info->default_sink_name;
  query->Done = true;
}

// A private main loop, run here until the answer comes, keeps the question
// synchronous and away from Qt's own connection to the server. libpulse is
// loaded with Qt Multimedia anyway; asking through pactl instead would need a
// package that PipeWire desktops do not install, and a process per question.
ServerInfoQuery AskServer(int TimeoutMs)
{
  ServerInfoQuery query;
  pa_mainloop* loop = pa_mainloop_new();
  if (!loop)
    return query;
  pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "Duvovovi");
  // Never start a server just to learn that none runs.
  if (context && pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
    pa_operation* op = nullptr;
    QElapsedTimer timer;
    timer.start();
    while (!query.Done) {
      const qint64 left = TimeoutMs - timer.elapsed();
      const pa_context_state_t state = pa_context_get_state(context);
      if (left <= 0 || !PA_CONTEXT_IS_GOOD(state))
        break;
      if (state == PA_CONTEXT_READY && !op) {
        op = pa_context_get_server_info(context, OnServerInfo, &query);
        if (!op)
          break;
      }
      if (pa_mainloop_prepare(loop, int(left * 1000)) < 0 || pa_mainloop_poll(loop) < 0 ||
          pa_mainloop_dispatch(loop) < 0)
        break;
    }
    if (op) {
      if (pa_operation_get_state(op) == PA_OPERATION_RUNNING)
        pa_operation_cancel(op);
      pa_operation_unref(op);
    }
    pa_context_disconnect(context);
  }
  if (context)
    pa_context_unref(context);
  pa_mainloop_free(loop);
  return query;
}

} // namespace

QByteArray ServerDefaultSourceName(int TimeoutMs)
{
  return AskServer(TimeoutMs).Source;
}

QByteArray ServerDefaultSinkName(int TimeoutMs)
{
  return AskServer(TimeoutMs).Sink;
}

QAudioDevice DefaultInput()
{
  const QList<QAudioDevice> inputs = QMediaDevices::audioInputs();
  for (const QAudioDevice& d : inputs)
    if (d.isDefault())
      return d;
  if (inputs.isEmpty())
    return {};
  const QByteArray name = ServerDefaultSourceName();
  for (const QAudioDevice& d : inputs)
    if (!name.isEmpty() && d.id() == name)
      return d;
  // The server's default may be one Qt does not list (a monitor source), or
  // no server answered: the first input is as good a guess as any.
  return inputs.front();
}

QAudioDevice DefaultOutput()
{
  const QList<QAudioDevice> outputs = QMediaDevices::audioOutputs();
  if (outputs.isEmpty())
    return {};
  const QByteArray name = ServerDefaultSinkName();
  for (const QAudioDevice& d : outputs)
    if (!name.isEmpty() && d.id() == name)
      return d;
  // No server answered, or its default is one Qt does not list.
  return QMediaDevices::defaultAudioOutput();
}

} // namespace duv
