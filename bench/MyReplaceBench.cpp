// Personalising an HTML body of about 1 MB that holds N placeholders, for one recipient with
// ten fields, with logging in its default state (information lines off).
#include "sending/DoNotSend.h"
#include "sending/MyReplace.h"
#include "settings/ApplicationName.h"
#include "settings/SettingsKeys.h"

#include <QString>
#include <array>
#include <benchmark/benchmark.h>
#include <pugixml.hpp>

namespace quillmark {
namespace {

constexpr qsizetype kBodySize = 1'000'000;

const char* const kRecipient = R"(<recipient address="ann@example.com">
  <field name="FirstName">Ann</field>
  <field name="LastName">Smith</field>
  <field name="Company">Tollmere &amp; Co</field>
  <!-- exported from the CRM -->
  <field name="Title">Dr</field>
  <field name="City">Lyon</field>
  <field name="Country">France</field>
  <field name="Phone1">+33 4 00 00 00 00</field>
  <field name="Email">ann@example.com</field>
  <field name="Plan">CDATA[Gold]</field>
  <field name="Note"></field>
</recipient>)";

// The shapes a real template holds: plain, marked up, entity and curly quotes, wildcards,
// a missing field with its default, and a field found last in the list.
const std::array<const char16_t*, 6> kPlaceholders = {
    uR"([Substitute: FirstName, Default: "Friend"])",
    uR"([<span style="font-weight:bold">Substitute: <b>LastName</b>, Default: &quot;&quot;</span>])",
    u"[Substitute: Comp*, Default: \u201Cyour company\u201D]",
    uR"([Substitute: Phone#, Default: &#8220;no phone&#8221;])",
    uR"([Substitute: Nickname, Default: "there"])",
    uR"([Substitute: Note, Default: ""])",
};

QString makeBody(qsizetype placeholders) {
    const QString paragraph = QStringLiteral("<p style=\"margin:0 0 8px 0\">Lorem ipsum dolor sit amet, consectetur "
                                             "adipiscing elit, sed do eiusmod tempor incididunt.</p>\r\n");
    QString body = QStringLiteral("<html><body>\r\n");
    body.reserve(kBodySize + 1000);
    const qsizetype segment = kBodySize / placeholders;
    for (qsizetype index = 0; index < placeholders; ++index) {
        const qsizetype end = (index + 1) * segment;
        while (body.size() + paragraph.size() < end) {
            body += paragraph;
        }
        body += QStringLiteral("<p>Dear ");
        body += QString::fromUtf16(kPlaceholders.at(static_cast<std::size_t>(index) % kPlaceholders.size()));
        body += QStringLiteral(",</p>\r\n");
    }
    body += QStringLiteral("</body></html>\r\n");
    return body;
}

void BM_MyReplace(benchmark::State& state) {
    settings::setApplicationName(QStringLiteral("Tollmere - Bench"));
    settings::write(settings::keys::LogFileWanted, 0);
    pugi::xml_document document;
    if (!document.load_string(kRecipient, pugi::parse_default | pugi::parse_comments)) {
        state.SkipWithError("the recipient does not parse");
        return;
    }
    const QString body = makeBody(state.range(0));
    qsizetype personalisedSize = 0;
    for (auto _ : state) {
        sending::clearDoNotSend();
        const QString personalised = sending::MyReplace(body, document.document_element());
        personalisedSize = personalised.size();
        benchmark::DoNotOptimize(personalised.constData());
    }
    if (personalisedSize == 0 || personalisedSize >= body.size()) {
        state.SkipWithError("the body was not personalised");
    }
    state.counters["body_chars"] = static_cast<double>(body.size());
    state.counters["placeholders"] = static_cast<double>(state.range(0));
    state.SetBytesProcessed(state.iterations() * body.size() * static_cast<qsizetype>(sizeof(QChar)));
}
BENCHMARK(BM_MyReplace)->Arg(100)->Arg(1'000)->Arg(10'000)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace quillmark
