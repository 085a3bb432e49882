#include "serial/SerialPortWindow.h"

#include <QMetaObject>

#include "serial/SerialPort.h"

void TSerialPortWindow::PostEventMessage(uint32_t eventFlag) {
    {
        std::lock_guard<std::mutex> lock(FMutex);
        FMessages.push_back(eventFlag);
    }
    QMetaObject::invokeMethod(this, "DeliverOne", Qt::QueuedConnection);
}

void TSerialPortWindow::DeliverPending() {
    uint32_t eventFlag = 0;
    while (TakeNext(eventFlag)) FSerialPort->PortWindowProc(eventFlag);
}

void TSerialPortWindow::DeliverOne() {
    uint32_t eventFlag = 0;
    if (TakeNext(eventFlag)) FSerialPort->PortWindowProc(eventFlag);
}

bool TSerialPortWindow::TakeNext(uint32_t& eventFlag) {
    std::lock_guard<std::mutex> lock(FMutex);
    if (FMessages.empty()) return false;
    eventFlag = FMessages.front();
    FMessages.pop_front();
    return true;
}
