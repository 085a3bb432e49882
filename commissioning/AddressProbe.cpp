#include "commissioning/AddressProbe.h"

#include <QCoreApplication>

#include "operations/InstrumentOperations.h"
#include "protocol/Requests.h"

QString AddressTakenText(uint16_t target) {
    return QCoreApplication::translate(
               "TAddressProbe",
               "По адресу %1 уже отвечает прибор: адрес не изменён. Выберите свободный адрес "
               "(окно «Линия» покажет занятые).")
        .arg(target);
}

TSequenceStep AddressFreeStep(TInstrumentOperations& instrument, uint16_t target) {
    TSequenceStep step;
    step.name = QCoreApplication::translate("TAddressProbe", "Проверка адреса %1").arg(target);
    step.tag = AddressProbeTag;
    step.start = [&instrument, target] {
        protocol::Request ask = protocol::Read(GetAdr);
        ask.fixedAddress = target;
        instrument.Send(ask);
    };
    step.judge = [target](TStepResult result, std::optional<TRequestOutcome> last,
                          QString& message) {
        if (result == TStepResult::NotSent) return result;
        if (last == TRequestOutcome::Unanswered) {
            message.clear();  // the silence's error box is what was hoped for
            return TStepResult::Done;
        }
        if (last == TRequestOutcome::Answered || last == TRequestOutcome::Refused ||
            last == TRequestOutcome::Corrupted) {
            message = AddressTakenText(target);
            return TStepResult::Refused;
        }
        // The port failed, or the request was dropped: nothing shows the address is free.
        message = QCoreApplication::translate("TAddressProbe",
                                              "Адрес %1 не удалось проверить: адрес не изменён.")
                      .arg(target);
        return TStepResult::Unanswered;
    };
    return step;
}
