// Messages per second through the smtp:// transport over one kept connection, and the CPU
// time our side spends per message. Needs a fast sink server on 127.0.0.1:
//   pid=$(../shared/bench/smtp-sink.sh 8027)
//   QUILLMARK_SMTP_SINK_PORT=8027 ./mail_transport_bench; kill $pid
#include "mail/Transport.h"

#include <QByteArray>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <sys/resource.h>

namespace quillmark {
namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// A campaign-sized message: about 20 KB of HTML beside its plain rendition, and a small PDF.
QByteArray campaignMessage() {
    QByteArray html = "<html><body><h1>Spring news</h1>\r\n";
    while (html.size() < 20 * 1024) {
        html += "<p>Dear reader, this paragraph stands in for a campaign's personalised text, with "
                "<a href=\"https://example.com/offer\">a link</a> and <b>some markup</b>.</p>\r\n";
    }
    html += "</body></html>\r\n";
    QByteArray attachment;
    for (int i = 0; i < 3 * 1024; ++i) {
        attachment += static_cast<char>(i % 251);
    }
    const QByteArray encoded = attachment.toBase64();
    QByteArray message = "From: Ann Example <ann@example.com>\r\n"
                         "To: bob@example.org\r\n"
                         "Subject: Spring news\r\n"
                         "Date: Mon, 1 Apr 2024 10:00:00 +0000\r\n"
                         "Message-ID: <bench@example.com>\r\n"
                         "MIME-Version: 1.0\r\n"
                         "Content-Type: multipart/mixed; boundary=\"outer\"\r\n\r\n"
                         "--outer\r\nContent-Type: text/html; charset=utf-8\r\n"
                         "Content-Transfer-Encoding: 8bit\r\n\r\n";
    message += html;
    message += "--outer\r\nContent-Type: application/pdf; name=\"leaflet.pdf\"\r\n"
               "Content-Disposition: attachment; filename=\"leaflet.pdf\"\r\n"
               "Content-Transfer-Encoding: base64\r\n\r\n";
    for (qsizetype i = 0; i < encoded.size(); i += 76) {
        message += encoded.mid(i, 76) + "\r\n";
    }
    message += "--outer--\r\n";
    return message;
}

void BM_SmtpDeliverOverOneConnection(benchmark::State& state) {
    const char* port = std::getenv("QUILLMARK_SMTP_SINK_PORT");
    if (port == nullptr) {
        state.SkipWithError("set QUILLMARK_SMTP_SINK_PORT to the port of a running smtp-sink");
        return;
    }
    mail::AccountConfig account;
    account.name = QStringLiteral("Bench");
    account.transport = QStringLiteral("smtp://127.0.0.1:%1").arg(QString::fromLatin1(port));
    account.timeoutSeconds = 10;
    const auto transport = mail::makeTransport(account);
    const mail::Envelope envelope{QStringLiteral("ann@example.com"), {QStringLiteral("bob@example.org")}};
    const QByteArray message = campaignMessage();

    const double cpuBefore = cpuSeconds();
    for (auto _ : state) {
        const mail::DeliveryResult result = transport->deliver(envelope, message);
        if (result.outcome != mail::DeliveryOutcome::Accepted) {
            state.SkipWithError(result.description.toStdString().c_str());
            break;
        }
    }
    const double cpuUsed = cpuSeconds() - cpuBefore;
    const auto messages = static_cast<double>(state.iterations());
    state.counters["msgs_per_s"] = benchmark::Counter(messages, benchmark::Counter::kIsRate);
    state.counters["cpu_us_per_msg"] = messages > 0 ? cpuUsed * 1e6 / messages : 0.0;
    state.counters["message_bytes"] = static_cast<double>(message.size());
    state.SetBytesProcessed(state.iterations() * message.size());
}
BENCHMARK(BM_SmtpDeliverOverOneConnection)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace
} // namespace quillmark
