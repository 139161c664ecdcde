#pragma once

#include <QString>

namespace quillmark::test {

// Writes the user's mail profile file (replacing any) with one profile, the default, holding
// one account "Local delivery" that sends through `transport`; its folders live in `store`.
// Tests and benchmarks send through it; the file is written by the product's own writer.
void writeMailProfile(const QString& name, const QString& store, const QString& transport, int timeoutSeconds = 30);

} // namespace quillmark::test
