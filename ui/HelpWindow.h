#pragma once
// THelpWindow: the help page shipped with the program (HTML in the program's resources) in a
// small window of its own that leaves the main window usable. One per owner window: opening it
// again brings the same window to the front. Lives on the main thread.
#include <QUrl>
#include <QWidget>

class QTextBrowser;

class THelpWindow : public QWidget {
    Q_OBJECT
public:
    // The language of the page opened: "ru" (the program's own) unless set otherwise.
    static QString Language;

    // Shows the owner's help window, creating it on first use.
    static THelpWindow* Open(QWidget* owner);
    // The page for a language; Russian for a language without a page of its own.
    static QUrl PageUrl(const QString& language);

    QTextBrowser* Browser() const { return FBrowser; }

private:
    explicit THelpWindow(QWidget* owner);

    QTextBrowser* FBrowser;
};
