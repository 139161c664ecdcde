// Whole campaigns and big data files, measured in-process.
//
// BM_CampaignThroughMaildir: a campaign of N recipients with no delay between ticks, delivered
// through the maildir: transport, run tick by tick on the real event loop exactly as the
// sending process runs it (every recipient includes its durable RecipientIndex write and its
// report line; the log in its default state, off). Reports recipients per second.
//
// BM_DurableWritesOnly: what a recipient of that campaign costs at the least, whatever the
// code around it does: its message stored durably in the delivery folder (written to tmp/,
// flushed, renamed into new/, the folder flushed) and its RecipientIndex committed durably. The
// campaign's rate can never exceed this one.
//
// BM_LoadDataFile: loading a data file of N recipients (DataFile::load + recipients()).
//
// Both report the process's peak resident set (getrusage ru_maxrss), which only means something
// when each benchmark runs in a process of its own: run-campaign-bench.sh does that.
#include "campaign/CState.h"
#include "campaign/DataFile.h"
#include "mail/MaildirFolder.h"
#include "sending/ApplicationTimer.h"
#include "sending/ProgressWindow.h"
#include "settings/ApplicationName.h"
#include "settings/Settings.h"
#include "settings/SettingsKeys.h"
#include "support/MailProfileWriter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

namespace quillmark {
namespace {

const QString kProfile = QStringLiteral("Bench");

double peakResidentMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0; // ru_maxrss is in KiB on Linux
}

QString benchFolder() {
    return qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/campaign-bench/");
}

// Written recipient by recipient, so building the file does not itself raise the peak memory.
bool writeDataFile(const QString& path, int recipients) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    file.write("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<campaign MessageClass=\"IPM.Note\">\n");
    for (int i = 0; i < recipients; ++i) {
        file.write(QStringLiteral("  <recipient address=\"reader%1@example.com\"><field name=\"FirstName\">Zoë "
                                  "%1</field><field name=\"LastName\">Example</field><field "
                                  "name=\"City\">Zürich</field><field name=\"Plan\">Gold</field></recipient>\n")
                       .arg(i)
                       .toUtf8());
    }
    file.write("</campaign>\n");
    return file.error() == QFile::NoError;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// A campaign-sized HTML template (about 4 KB) with placeholders in the subject and the body.
QByteArray htmlTemplate() {
    QByteArray message = "From: Ann Sender <ann.sender@example.com>\r\n"
                         "Subject: Spring news for [Substitute: FirstName, Default: \"friend\"]\r\n"
                         "MIME-Version: 1.0\r\n"
                         "Content-Type: text/html; charset=utf-8\r\n\r\n"
                         "<html><body><p>Dear <b>[Substitute: FirstName, Default: &quot;friend&quot;]</b>,</p>\r\n";
    while (message.size() < 4096) {
        message += "<p>Spring has come to our shop in [Substitute: City, Default: &quot;your town&quot;], with "
                   "<a href=\"https://example.com/offer\">offers</a> for every <i>[Substitute: Plan, Default: "
                   "&quot;&quot;]</i> member.</p>\r\n";
    }
    return message + "</body></html>\r\n";
}

// Each campaign gets a folder of its own, left for the end of the process: deleting the last
// campaign's thousands of files just before the next one starts would make the next one pay
// for the deletion (ext4 without a journal skips recently freed inodes one by one).
bool prepareCampaign(int recipients) {
    static int campaigns = 0;
    const QString folder = benchFolder() + QStringLiteral("campaign-%1/").arg(++campaigns);
    if (!QDir().mkpath(folder)) {
        return false;
    }
    test::writeMailProfile(kProfile, folder + QStringLiteral("store"),
                           QStringLiteral("maildir:") + folder + QStringLiteral("delivered"));
    if (!writeDataFile(folder + QStringLiteral("Spring.xml"), recipients) ||
        !writeFile(folder + QStringLiteral("Spring.oft"), htmlTemplate())) {
        return false;
    }
    const QString application = settings::applicationNameForProfile(kProfile);
    const QString product = QStringLiteral("Quillmark");
    settings::SaveSetting(QStringLiteral("Tollmere"), QStringLiteral("Tollmere"), QStringLiteral("CurrentProfile"),
                          QString());
    settings::SaveSetting(application, QStringLiteral("Tollmere"), QStringLiteral("AppDataFolder"), folder);
    settings::SaveSetting(application, product, QStringLiteral("DataFilePath"), folder + QStringLiteral("Spring.xml"));
    settings::SaveSetting(application, product, QStringLiteral("SendMessageEveryNSeconds"), 0);
    settings::SaveSetting(application, product, QStringLiteral("EmailWhenFinished"), 0);
    settings::SaveSetting(application, product, QStringLiteral("RecipientIndex"), 0);
    settings::SaveSetting(application, product, QStringLiteral("SendState"), QStringLiteral("Sending"));
    return true;
}

// Starts the engine as start-up does (no window) and runs the event loop until no tick is
// pending any more.
bool runCampaign() {
    sending::setTimerWindow(nullptr);
    auto& state = campaign::CState::shared();
    state = std::make_shared<campaign::CState>();
    if (!state->Initialize()) {
        return false;
    }
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&loop] {
        if (sending::applicationTimerId() == 0) {
            loop.quit();
        }
    });
    sending::SetApplicationTimer(0);
    poll.start(20);
    loop.exec();
    state.reset();
    return true;
}

void BM_CampaignThroughMaildir(benchmark::State& state) {
    const auto recipients = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        if (!prepareCampaign(recipients)) {
            state.SkipWithError("could not write the campaign's files or settings");
            return;
        }
        state.ResumeTiming();
        QElapsedTimer clock;
        clock.start();
        if (!runCampaign()) {
            state.SkipWithError("the mail profile could not be logged on");
            return;
        }
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
        const QString finalState =
            settings::GetSetting(settings::applicationNameForProfile(kProfile), QStringLiteral("Quillmark"),
                                 QStringLiteral("SendState"), QString());
        if (finalState != QLatin1String("Completed")) {
            state.SkipWithError(("the campaign ended " + finalState + " instead of Completed").toStdString().c_str());
            return;
        }
    }
    state.counters["recipients_per_s"] =
        benchmark::Counter(static_cast<double>(recipients * state.iterations()), benchmark::Counter::kIsRate);
    state.counters["peak_rss_MB"] = peakResidentMegabytes();
}
BENCHMARK(BM_CampaignThroughMaildir)
    ->Arg(500)
    ->Arg(10000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_DurableWritesOnly(benchmark::State& state) {
    const auto recipients = static_cast<int>(state.range(0));
    static int runs = 0;
    const QString folder = benchFolder() + QStringLiteral("durable-%1/").arg(++runs);
    settings::setApplicationName(settings::applicationNameForProfile(kProfile));
    mail::MaildirFolder delivered(folder + QStringLiteral("delivered"));
    const QByteArray message(4959, 'x'); // the size of one personalised copy in the campaign above
    for (auto _ : state) {
        for (std::int32_t index = 1; index <= recipients; ++index) {
            (void)delivered.add(message);
            settings::write(settings::keys::RecipientIndex, index);
        }
    }
    state.counters["recipients_per_s"] =
        benchmark::Counter(static_cast<double>(recipients * state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DurableWritesOnly)->Arg(10000)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_LoadDataFile(benchmark::State& state) {
    const auto recipients = static_cast<int>(state.range(0));
    const QString path = benchFolder() + QStringLiteral("Big.xml");
    QDir().mkpath(benchFolder());
    if (!writeDataFile(path, recipients)) {
        state.SkipWithError("could not write the data file");
        return;
    }
    const double rssBefore = peakResidentMegabytes();
    std::int32_t loaded = 0;
    for (auto _ : state) {
        const campaign::DataFile file = campaign::DataFile::load(path);
        const auto list = file.recipients();
        loaded = list ? list->length() : -1;
        benchmark::DoNotOptimize(loaded);
    }
    if (loaded != recipients) {
        state.SkipWithError("the data file did not load all its recipients");
        return;
    }
    state.counters["file_MB"] = static_cast<double>(QFile(path).size()) / (1024.0 * 1024.0);
    state.counters["peak_rss_MB"] = peakResidentMegabytes();
    state.counters["peak_rss_before_MB"] = rssBefore;
}
BENCHMARK(BM_LoadDataFile)->Arg(100000)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace quillmark
