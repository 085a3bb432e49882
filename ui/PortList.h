#pragma once
// What the port settings dialog lists and what the port watch follows: the serial ports
// present, each as a name the port box takes (the kernel name, or the /dev/serial/by-id/...
// path that survives replugging) and the text the drop-down shows beside it. Main thread.
#include <QString>
#include <QVector>
#include <functional>
#include <vector>

#include "serial/SerialBackend.h"

struct TPortChoice {
    QString value;  // what the port box and the stored setting take
    QString text;   // what the drop-down shows: the value and the adapter's description
    bool operator==(const TPortChoice& o) const { return value == o.value && text == o.text; }
};

// Each port by its kernel name, followed by its by-id name where it has one, in the order
// given; the adapter's description, where known, stands beside both.
QVector<TPortChoice> PortChoices(const std::vector<serial_backend::PortInfo>& ports);

// The name under which `port` (as the serial component takes it) comes back after being
// unplugged: its by-id path where it has one, else `port` itself.
QString StablePortName(const QString& port, const std::vector<serial_backend::PortInfo>& ports);
