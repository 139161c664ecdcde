#pragma once

#include "mail/OutboxSpooler.h"
#include "mail/Transport.h"

#include <QByteArray>
#include <deque>
#include <memory>
#include <vector>

namespace quillmark::mail::test {

// What every fake transport of one test shares: the scripted answers and what was delivered.
struct FakeMailServer {
    struct Delivery {
        Envelope envelope;
        QByteArray message;
    };

    std::deque<DeliveryResult> script; // answers in order; Accepted when it runs out
    std::vector<Delivery> accepted;
    int attempts = 0;
    int transportsMade = 0;

    // A transport factory for SessionSeams whose transports all answer from this server.
    [[nodiscard]] TransportFactory factory();
    void willAnswer(DeliveryOutcome outcome, const QString& description = {}, int times = 1);
};

class FakeTransport final : public Transport {
public:
    explicit FakeTransport(std::shared_ptr<FakeMailServer> server);

    [[nodiscard]] DeliveryResult deliver(const Envelope& envelope, const QByteArray& message) override;
    void verify() override {}

private:
    std::shared_ptr<FakeMailServer> m_server;
};

} // namespace quillmark::mail::test
