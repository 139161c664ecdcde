#pragma once

#include "sending/ProgressWindow.h"

#include <QString>
#include <QStringList>

namespace quillmark::test {

// A progress window that records what the campaign loop writes to it.
class RecordingWindow : public sending::ProgressWindow {
public:
    void setCampaignCaption(const QString& caption) override { campaign = caption; }
    void setEmailingCaption(const QString& caption) override {
        emailing = caption;
        emailingHistory.append(caption);
    }
    void setProgressCaption(const QString& caption) override { progress = caption; }
    void setProgressMaximum(int value) override { maximum = value; }
    void setProgressMinimum(int value) override { minimum = value; }
    void setProgressValue(int value) override {
        position = value;
        positions.append(value);
    }
    [[nodiscard]] int progressMaximum() const override { return maximum; }
    void setCancelEnabled(bool enabled) override { cancelEnabled = enabled; }
    void setPauseEnabled(bool enabled) override { pauseEnabled = enabled; }
    void setResumeEnabled(bool enabled) override { resumeEnabled = enabled; }
    void showWindow() override { ++shows; }
    bool requestClose() override {
        ++closeRequests;
        return grantClose;
    }

    QString campaign;
    QString emailing;
    QStringList emailingHistory;
    QString progress;
    int maximum = 100;
    int minimum = 0;
    int position = 0;
    QList<int> positions;
    bool cancelEnabled = true;
    bool pauseEnabled = true;
    bool resumeEnabled = true;
    int shows = 0;
    int closeRequests = 0;
    bool grantClose = true;
};

} // namespace quillmark::test
