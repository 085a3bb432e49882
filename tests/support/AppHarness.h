#pragma once
// A running program for tests: the main window (created, shown offscreen, activated) with
// its port on a virtual instrument's pseudo-terminal, and the settings file prepared in the
// test's own HOME. Error boxes are recorded instead of shown.
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStringList>
#include <QTest>
#include <functional>
#include <memory>

#include "TestDesktop.h"
#include "controls/Digit.h"
#include "exchange/Thread1.h"
#include "exchange/typeCMD.h"
#include "sim/VirtualInstrument.h"
#include "ui/Unit1.h"
#include "ui/main.h"
#include "ui_main.h"

// Faults for the instrument, set field by field.
inline sim::Faults Fault(const std::function<void(sim::Faults&)>& set) {
    sim::Faults faults;
    set(faults);
    return faults;
}

struct AppHarness {
    std::unique_ptr<sim::VirtualInstrument> instrument;
    TTestDesktop desktop;  // outlives the window, which runs its dialogs through it
    std::unique_ptr<Tz> window;
    std::unique_ptr<TSettingForm> settingForm;
    QStringList errors;

    static QString SettingsPath() {
        return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
               QStringLiteral("/Tessera_RS/setup.cfg");
    }

    // Writes setup.cfg; the update check is off unless asked for.
    static void WriteSettings(const QString& body) {
        QDir().mkpath(QFileInfo(SettingsPath()).path());
        QFile file(SettingsPath());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) qFatal("cannot write settings");
        file.write(body.toUtf8());
    }
    static void RemoveSettings() { QFile::remove(SettingsPath()); }

    static QString Settings(int protocol, int baud = 3, int pause = 500) {
        return QStringLiteral("[Port]\nBaud=%1\nPause=%2\nprot=%3\n[Update]\nUpdate=0\n")
            .arg(baud)
            .arg(pause)
            .arg(protocol);
    }

    // Starts an instrument (when `config` is given) and the program on its line, or on
    // `port` when one is given.
    // `portFor`, when given, names the port the program opens for the instrument's device.
    void Start(const sim::Config* config, bool programModbus, const QString& port = QString(),
               const std::function<QString(const QString&)>& portFor = {}) {
        if (config) {
            instrument = std::make_unique<sim::VirtualInstrument>(*config);
            instrument->Start();
            Tz::PortOverride = QString::fromStdString(instrument->DevicePath());
            if (portFor) Tz::PortOverride = portFor(Tz::PortOverride);
        } else {
            Tz::PortOverride = QStringLiteral("/dev/tessera-no-such-port");
        }
        if (!port.isEmpty()) Tz::PortOverride = port;
        errors.clear();
        WriteSettings(Settings(programModbus ? 1 : 0));
        desktop.errorBox = [this](const QString& text) { errors << text; };
        window = std::make_unique<Tz>(nullptr, &desktop);
        settingForm = std::make_unique<TSettingForm>(window.get());
        SettingForm = settingForm.get();
        window->show();
        QVERIFY(QTest::qWaitFor([this] { return CurrentQuery != nullptr; }, 5000));
    }

    void Stop() {
        settingForm.reset();
        SettingForm = nullptr;
        window.reset();
        if (instrument) instrument->Stop();
        instrument.reset();
        desktop.errorBox = nullptr;
        Tz::PortOverride.clear();
        ExchangeState = ExchangeStates::Single;
    }

    Ui::Tz& ui() { return *window->ui; }

    void SetAddress(int address) {
        ui().EditAdr->setText(QString::number(address));
        window->EditAdrExit();
    }
    // No address known yet, as the form starts (the field's 0 is no instrument's address).
    void ForgetAddress() {
        ui().EditAdr->setText(QStringLiteral("0"));
        CurrentQuery->Adr = 0;
    }

    // Waits, with the event loop running, until the instrument has received `count` frames.
    bool WaitForFrames(size_t count, int timeoutMs = 10000) {
        return QTest::qWaitFor([&] { return instrument->ReceivedFrames().size() >= count; },
                               timeoutMs);
    }

    // The frames the instrument received, as hex strings.
    QStringList Frames() const {
        QStringList frames;
        for (const auto& f : instrument->ReceivedFrames())
            frames << QString::fromStdString(sim::ToHex(f));
        return frames;
    }

    // What the panel shows: sign cell and the four digits, with "." after a lit point.
    QString PanelText(int panel) {
        QString text;
        for (int cell = 0; cell <= 4; ++cell) {
            TDigit* d = window->PanelCell(panel, cell);
            text += d->Value().isNull() ? QLatin1Char('?') : d->Value();
            if (d->Bars() & 0x80) text += QLatin1Char('.');
        }
        return text;
    }
};
