// Shows the progress window with sample captions, for looking at it (see
// scripts/screenshot-window.sh). Usage: window_demo [sending|finished|idle|long] [seconds]
// The window is placed at the screen's top-left corner and the program ends after the given
// seconds (default 2). It touches no settings.
#include "app/frmMain.h"

#include <QApplication>
#include <QDateTime>
#include <QTimer>
#include <cstdio>

namespace {

using quillmark::app::frmMain;

void showSending(frmMain& window) {
    window.setCampaignCaption(QStringLiteral("Spring newsletter: new titles & events"));
    window.setProgressCaption(QStringLiteral("Sending"));
    window.setEmailingCaption(QStringLiteral("ann.example@example.com"));
    window.setProgressMaximum(41);
    window.setProgressMinimum(0);
    window.setProgressValue(17);
    window.applyStartupButtonStates(QStringLiteral("Sending"));
}

void showFinished(frmMain& window) {
    showSending(window);
    window.setEmailingCaption(QString());
    window.setProgressCaption(
        QStringLiteral("Finished sending at ") +
        QDateTime(QDate(2025, 12, 8), QTime(17, 45, 2)).toString(QStringLiteral("dd/MM/yyyy hh:mm:ss")));
    window.setProgressValue(window.progressMaximum());
    window.setCancelEnabled(false);
    window.setPauseEnabled(false);
    window.setResumeEnabled(false);
}

void showIdle(frmMain& window) {
    window.setProgressCaption(QStringLiteral("Idle"));
    window.applyStartupButtonStates(QStringLiteral("Idle"));
}

void showLong(frmMain& window) {
    showSending(window);
    window.setCampaignCaption(QStringLiteral("Quarterly members' update: programme for the spring season, "
                                             "booking dates, venue changes and a note from the chair"));
    window.setEmailingCaption(QStringLiteral("firstname.middlename.lastname.department.region.team.office@"
                                             "subdomain.very-long-organisation-name.example.co.uk"));
    window.applyStartupButtonStates(QStringLiteral("Paused"));
    window.setProgressCaption(QStringLiteral("Paused"));
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    const QString look = arguments.size() > 1 ? arguments.at(1) : QStringLiteral("sending");
    const double seconds = arguments.size() > 2 ? arguments.at(2).toDouble() : 2.0;

    frmMain window;
    if (look == QLatin1String("sending")) {
        showSending(window);
    } else if (look == QLatin1String("finished")) {
        showFinished(window);
    } else if (look == QLatin1String("idle")) {
        showIdle(window);
    } else if (look == QLatin1String("long")) {
        showLong(window);
    } else {
        std::fprintf(stderr, "usage: window_demo [sending|finished|idle|long] [seconds]\n");
        return 2;
    }
    window.move(0, 0);
    window.show();
    QTimer::singleShot(static_cast<int>(seconds * 1000), &application, &QApplication::quit);
    return QApplication::exec();
}
