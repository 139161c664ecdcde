#include "priority/ProcessPriority.h"

#include "diagnostics/ErrorLine.h"
#include "priority/PriorityClass.h"
#include "priority/ProcessControl.h"

namespace quillmark::priority {

QString ProcessPriorityName(std::int32_t priorityClass) {
    try {
        if (const auto entry = classByValue(priorityClass)) {
            return QLatin1String(entry->name);
        }
        return QStringLiteral("Unknown:") + QString::number(priorityClass);
    } catch (const std::exception& failure) {
        diagnostics::logTrappedError(diagnostics::productSource(u"ProcessPriorityName"), failure);
        return {};
    }
}

std::int32_t ProcessPrioritiesFromName(const QString& name) {
    const auto entry = classByName(name);
    return entry ? entry->value : kIdleClass;
}

std::int32_t ProcessPrioritySet(std::uint32_t processId, std::int32_t windowHandle, std::int32_t priorityClass) {
    try {
        if (processId == 0) {
            processId = windowHandle != 0 ? processOwningWindow(windowHandle) : currentProcessId();
        }
        if (const auto entry = classByValue(priorityClass)) {
            requestNice(processId, entry->nice);
        }
        const auto nice = readNice(processId);
        return nice ? classForNice(*nice).value : 0;
    } catch (const std::exception& failure) {
        diagnostics::logTrappedError(diagnostics::productSource(u"ProcessPrioritySet"), failure);
        return 0;
    }
}

} // namespace quillmark::priority
