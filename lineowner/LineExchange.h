#pragma once
// One request of a window that talks on the line from the main thread, and how it ended.
#include <QByteArray>
#include <QString>
#include <functional>

struct TLineRequest {
    QByteArray frame;
    int answerLength = 256;  // bytes that complete the answer; 256: the silence ends it
    bool modbus = true;      // the frame is Modbus RTU (an exception answer may end it early)
    QString meaning;         // what the request asks, for the frame monitor
    // What the answer means and whether that is an error, for the frame monitor's row; may be
    // empty (the row then shows the bytes only).
    std::function<QString(const QByteArray& request, const QByteArray& answer, bool& error)>
        describe;
};

struct TLineAnswer {
    QByteArray request;
    QByteArray bytes;      // empty: no answer
    double latencyMs = 0;  // request written -> answer complete or silence
    QString failure;       // the port failed (bytes then empty)
};
