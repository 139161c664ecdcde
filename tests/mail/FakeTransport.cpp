#include "FakeTransport.h"

#include <utility>

namespace quillmark::mail::test {

TransportFactory FakeMailServer::factory() {
    // Not owning: the test keeps its server alive for longer than any session it gives this to.
    return [self = std::shared_ptr<FakeMailServer>(std::shared_ptr<FakeMailServer>{}, this)](const AccountConfig&) {
        ++self->transportsMade;
        return std::make_unique<FakeTransport>(self);
    };
}

void FakeMailServer::willAnswer(DeliveryOutcome outcome, const QString& description, int times) {
    for (int i = 0; i < times; ++i) {
        script.push_back({outcome, description});
    }
}

FakeTransport::FakeTransport(std::shared_ptr<FakeMailServer> server) : m_server(std::move(server)) {}

DeliveryResult FakeTransport::deliver(const Envelope& envelope, const QByteArray& message) {
    ++m_server->attempts;
    DeliveryResult result{DeliveryOutcome::Accepted, {}};
    if (!m_server->script.empty()) {
        result = m_server->script.front();
        m_server->script.pop_front();
    }
    if (result.outcome == DeliveryOutcome::Accepted) {
        m_server->accepted.push_back({envelope, message});
    }
    return result;
}

} // namespace quillmark::mail::test
