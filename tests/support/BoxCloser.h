#pragma once
// Closes every message box that becomes the active modal window and records it, so that a
// wrong turn inside a modal dialog fails the test instead of hanging it.
#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

class BoxCloser : public QObject {
public:
    struct Seen {
        QString title;
        QString text;
        QMessageBox::Icon icon;
    };
    BoxCloser() {
        connect(&FTimer, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            seen.append({box->windowTitle(), box->text(), box->icon()});
            box->done(QMessageBox::Ok);
        });
        FTimer.start(10);
    }
    QStringList Texts() const {
        QStringList texts;
        for (const Seen& s : seen) texts << s.text;
        return texts;
    }
    QList<Seen> seen;

private:
    QTimer FTimer;
};
