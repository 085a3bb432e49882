// The toolbar's "Обмен" button and the frame monitor it opens. The button is made here rather
// than in the form, beside "Помощь" and in its style, and follows the address group's width
// like the form's own toolbar buttons.
#include <QToolButton>

#include "controls/StandardIcon.h"
#include "lineowner/LineOwner.h"
#include "monitor/FrameMonitor.h"
#include "monitor/FrameRecorder.h"
#include "ui/main.h"
#include "ui_main.h"

void Tz::SetUpFrameMonitor() {
    FFrameRecorder = new TFrameRecorder(this);
    QToolButton* help = ui->ToolButton4;
    ToolButton5 = new QToolButton(help->parentWidget());
    ToolButton5->setObjectName(QStringLiteral("ToolButton5"));
    ToolButton5->setText(tr("Обмен"));
    ToolButton5->setToolTip(tr("Монитор обмена"));
    ToolButton5->setToolTipDuration(help->toolTipDuration());
    ToolButton5->setGeometry(help->geometry().translated(help->width(), 0));
    ToolButton5->setFont(help->font());
    ToolButton5->setIconSize(help->iconSize());
    ToolButton5->setToolButtonStyle(help->toolButtonStyle());
    ToolButton5->setAutoRaise(help->autoRaise());
    ToolButton5->setIcon(controls::StandardIcon(*style(), QStyle::SP_FileDialogListView, this));
    connect(ToolButton5, &QToolButton::clicked, this, &Tz::ToolButton5Click);
}

void Tz::ToolButton5Click() {
    if (!FFrameMonitor) FFrameMonitor = new TFrameMonitor(*FFrameRecorder, this);
    FFrameMonitor->show();
    FLineOwner->AnnounceHolder();
    FFrameMonitor->raise();
    FFrameMonitor->activateWindow();
}
