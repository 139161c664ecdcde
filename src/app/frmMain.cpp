#include "app/frmMain.h"

#include "app/ElidedLabel.h"
#include "app/WindowFonts.h"
#include "app/WindowIcon.h"
#include "diagnostics/ErrorLine.h"
#include "settings/SettingsKeys.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>
#include <exception>
#include <utility>

namespace quillmark::app {

namespace {

// The window was designed in twips; at 15 twips to the pixel every place below is whole pixels.
constexpr int kTwipsPerPixel = 15;

struct Twips {
    int left;
    int top;
    int width;
    int height;
};

QRect pixels(const Twips& place) {
    return {place.left / kTwipsPerPixel, place.top / kTwipsPerPixel, place.width / kTwipsPerPixel,
            place.height / kTwipsPerPixel};
}

// Client area 10965 x 2685 twips.
constexpr Twips kClient{0, 0, 10965, 2685};
constexpr Twips kFrame{180, 195, 10620, 2310};

// Inside the frame, relative to its corner.
constexpr Twips kProgressBar1{150, 1230, 10335, 255};
constexpr Twips kCmdCancel{960, 1665, 1515, 345};
constexpr Twips kCmdOK{8820, 1665, 1515, 345};
constexpr Twips kCmdPause{2775, 1665, 1515, 345};
constexpr Twips kCmdResume{4590, 1665, 1515, 345};
constexpr Twips kLblEmailingValue{990, 900, 9135, 255};
constexpr Twips kLblEmailing{150, 900, 735, 255};
constexpr Twips kLblCampaign{150, 330, 930, 225};
constexpr Twips kLblCampaignValue{1110, 330, 8445, 240};
constexpr Twips kLblProgress{150, 615, 945, 255};
constexpr Twips kLblProgressValue{1080, 615, 4095, 255};

// Captions sit at the top of their rows, so the three rows share their baselines.
constexpr Qt::Alignment kLabelAlignment = Qt::AlignLeft | Qt::AlignTop;

QGroupBox* makeFrame(QWidget* parent, const QString& caption, const Twips& place) {
    auto* frame = new QGroupBox(caption, parent);
    frame->setObjectName(QStringLiteral("frameQuillmarkProgress"));
    frame->setGeometry(pixels(place));
    // The rows were placed for a frame whose caption sits on its top border. Fusion puts the
    // caption above a shaded panel instead, which crowds the first row against the border, so
    // the frame alone is drawn in the classic style (its children keep the application's).
    if (QStyle* classic = QStyleFactory::create(QStringLiteral("Windows"))) {
        classic->setParent(frame);
        frame->setStyle(classic);
    }
    return frame;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, const Twips& place) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(pixels(place));
    // Return presses the button that has the focus; there is no default button, and Escape
    // does nothing, so no key stops or closes a campaign by accident.
    button->setAutoDefault(true);
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

QLabel* makeCaption(QWidget* parent, const char* name, const QString& caption, const Twips& place) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(kLabelAlignment);
    label->setGeometry(pixels(place));
    QFont bold = defaultWindowFont();
    bold.setWeight(QFont::Bold);
    label->setFont(fittedFont(bold, caption, label->contentsRect().width()));
    return label;
}

ElidedLabel* makeValue(QWidget* parent, const char* name, const Twips& place) {
    auto* label = new ElidedLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setAlignment(kLabelAlignment);
    label->setGeometry(pixels(place));
    return label;
}

} // namespace

frmMain::frmMain(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Quillmark"));
    setWindowIcon(quillmarkIcon());
    setFont(defaultWindowFont());
    // A fixed single border: title, system menu, minimise and close; no maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(pixels(kClient).size());
    createControls();
    connectButtons();
}

frmMain::~frmMain() = default;

void frmMain::createControls() {
    // Created in tab-index order, which makes it the focus chain: frame, progress bar, Cancel,
    // OK, Pause, Resume, then the labels (which never take the focus).
    m_frame = makeFrame(this, QStringLiteral("Quillmark Progress"), kFrame);

    m_progressBar = new QProgressBar(m_frame);
    m_progressBar->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar->setGeometry(pixels(kProgressBar1));
    m_progressBar->setTextVisible(false);
    m_progressBar->setRange(0, 100);
    m_progressBar->setValue(0);

    m_cmdCancel = makeButton(m_frame, "cmdCancel", QStringLiteral("&Cancel Sending"), kCmdCancel);
    m_cmdOK = makeButton(m_frame, "cmdOK", QStringLiteral("&Ok"), kCmdOK);
    m_cmdPause = makeButton(m_frame, "cmdPause", QStringLiteral("&Pause Sending"), kCmdPause);
    m_cmdResume = makeButton(m_frame, "cmdResume", QStringLiteral("&Resume Sending"), kCmdResume);

    m_lblEmailingValue = makeValue(m_frame, "lblEmailingValue", kLblEmailingValue);
    m_lblEmailingValue->setFont(emailingValueFont());
    m_lblEmailing = makeCaption(m_frame, "lblEmailing", QStringLiteral("Emailing:"), kLblEmailing);
    m_lblCampaign = makeCaption(m_frame, "lblCampaign", QStringLiteral("Campaign:"), kLblCampaign);
    m_lblCampaignValue = makeValue(m_frame, "lblCampaignValue", kLblCampaignValue);
    m_lblProgress = makeCaption(m_frame, "lblProgress", QStringLiteral("Progress:"), kLblProgress);
    m_lblProgressValue = makeValue(m_frame, "lblProgressValue", kLblProgressValue);
}

void frmMain::connectButtons() {
    connect(m_cmdCancel, &QPushButton::clicked, this, &frmMain::cmdCancel_Click);
    connect(m_cmdPause, &QPushButton::clicked, this, &frmMain::cmdPause_Click);
    connect(m_cmdResume, &QPushButton::clicked, this, &frmMain::cmdResume_Click);
    connect(m_cmdOK, &QPushButton::clicked, this, &frmMain::cmdOK_Click);
}

void frmMain::setClickHandlers(ClickHandlers handlers) {
    m_handlers = std::move(handlers);
}

void frmMain::setUnloadStep(std::function<void()> step) {
    m_unloadStep = std::move(step);
}

void frmMain::applyStartupButtonStates(const QString& state) {
    setCancelEnabled(true);
    setPauseEnabled(true);
    setResumeEnabled(true);
    if (state == QLatin1String("Cancelled") || state == QLatin1String("Completed") || state == QLatin1String("Idle")) {
        setCancelEnabled(false);
        setPauseEnabled(false);
        setResumeEnabled(false);
    } else if (state == QLatin1String("Paused") || state == QLatin1String("Suspended")) {
        setPauseEnabled(false);
    } else if (state == QLatin1String("Sending")) {
        setResumeEnabled(false);
    }
}

void frmMain::setCampaignCaption(const QString& caption) {
    m_lblCampaignValue->setText(caption);
}

void frmMain::setEmailingCaption(const QString& caption) {
    m_lblEmailingValue->setText(caption);
}

void frmMain::setProgressCaption(const QString& caption) {
    m_lblProgressValue->setText(caption);
}

void frmMain::setProgressMaximum(int maximum) {
    m_progressBar->setMaximum(maximum);
}

void frmMain::setProgressMinimum(int minimum) {
    m_progressBar->setMinimum(minimum);
}

void frmMain::setProgressValue(int value) {
    m_progressBar->setValue(value);
}

int frmMain::progressMaximum() const {
    return m_progressBar->maximum();
}

void frmMain::setCancelEnabled(bool enabled) {
    m_cmdCancel->setEnabled(enabled);
}

void frmMain::setPauseEnabled(bool enabled) {
    m_cmdPause->setEnabled(enabled);
}

void frmMain::setResumeEnabled(bool enabled) {
    m_cmdResume->setEnabled(enabled);
}

void frmMain::showWindow() {
    show();
    // The offscreen platform has no stacking order (and says so on standard error).
    if (QGuiApplication::platformName() != QStringLiteral("offscreen")) {
        raise();
    }
}

bool frmMain::requestClose() {
    return close();
}

void frmMain::cmdCancel_Click() {
    if (m_handlers.cmdCancel_Click) {
        m_handlers.cmdCancel_Click();
    }
}

void frmMain::cmdPause_Click() {
    if (m_handlers.cmdPause_Click) {
        m_handlers.cmdPause_Click();
    }
}

void frmMain::cmdResume_Click() {
    if (m_handlers.cmdResume_Click) {
        m_handlers.cmdResume_Click();
    }
}

void frmMain::cmdOK_Click() {
    if (m_handlers.cmdOK_Click) {
        m_handlers.cmdOK_Click();
    }
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (closeIsRefused()) {
        // The campaign goes on in the background; the add-in can show the window again.
        hide();
        event->ignore();
        return;
    }
    event->accept();
    runUnloadStep();
}

bool frmMain::closeIsRefused() const {
    try {
        return settings::read(settings::keys::SendState) == QLatin1String("Sending");
    } catch (const std::exception& failure) {
        // An unreadable store must not trap the user with a window that cannot be closed. The
        // stored state is left as it is, so a campaign that was sending resumes at its stored
        // recipient when the process is started again.
        diagnostics::logTrappedError(diagnostics::executableSource(u"Form_QueryUnload"), failure);
        return false;
    }
}

void frmMain::runUnloadStep() {
    // Once only: a window that has unloaded has nothing left to release.
    if (auto step = std::exchange(m_unloadStep, nullptr)) {
        step();
    }
}

} // namespace quillmark::app
