#include "cli/SettingsCommands.h"

#include "cli/Console.h"
#include "settings/SettingsStore.h"

#include <memory>

namespace quillmark::cli {

namespace {

struct SettingsArguments {
    std::string application;
    std::string section;
    std::string key;
    std::string value;
};

QString text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

int getSetting(const SettingsArguments& args) {
    auto& store = settings::SettingsStore::shared();
    const auto value = store.find(text(args.application), text(args.section), text(args.key));
    if (!value) {
        printError(QStringLiteral("no setting \"%1\" in section \"%2\" of \"%3\" (%4)")
                       .arg(text(args.key), text(args.section), text(args.application), store.path()));
        return kExitFailure;
    }
    printLine(*value);
    return kExitOk;
}

int setSetting(const SettingsArguments& args) {
    settings::SettingsStore::shared().save(text(args.application), text(args.section), text(args.key),
                                           text(args.value));
    return kExitOk;
}

int listSettings(const SettingsArguments& args) {
    auto& store = settings::SettingsStore::shared();
    const auto only = args.application.empty() ? std::nullopt : std::optional<QString>(text(args.application));
    const auto entries = store.list(only);
    if (entries.empty()) {
        printLine(only ? QStringLiteral("No settings stored for \"%1\" in %2.").arg(*only, store.path())
                       : QStringLiteral("No settings stored in %1.").arg(store.path()));
        return kExitOk;
    }
    qsizetype sectionWidth = 0;
    qsizetype keyWidth = 0;
    for (const auto& entry : entries) {
        sectionWidth = std::max(sectionWidth, entry.section.size());
        keyWidth = std::max(keyWidth, entry.key.size());
    }
    QString application;
    for (const auto& entry : entries) {
        if (entry.application != application) {
            application = entry.application;
            printLine(application);
        }
        printLine(QStringLiteral("  %1  %2  %3")
                      .arg(entry.section.leftJustified(sectionWidth), entry.key.leftJustified(keyWidth), entry.value));
    }
    return kExitOk;
}

} // namespace

void addSettingsCommands(CLI::App& app, CommandAction& action) {
    auto args = std::make_shared<SettingsArguments>();
    auto* group = app.add_subcommand("settings", "Read and write the settings store directly");
    group->require_subcommand(1);

    auto* get = group->add_subcommand("get", "Print one stored value (fails when the key is not stored)");
    get->add_option("APP", args->application, "Application, e.g. \"Tollmere - Local\"")->required();
    get->add_option("SECTION", args->section, "Section, e.g. Quillmark")->required();
    get->add_option("KEY", args->key, "Key, e.g. SendState")->required();
    get->callback([&action, args] { action = [args] { return getSetting(*args); }; });

    auto* set = group->add_subcommand("set", "Store one value");
    set->add_option("APP", args->application, "Application")->required();
    set->add_option("SECTION", args->section, "Section")->required();
    set->add_option("KEY", args->key, "Key")->required();
    set->add_option("VALUE", args->value, "Value, stored exactly as given")->required();
    set->callback([&action, args] { action = [args] { return setSetting(*args); }; });

    auto* list = group->add_subcommand("list", "List the stored values, of every application or of one");
    list->add_option("APP", args->application, "Only this application");
    list->callback([&action, args] { action = [args] { return listSettings(*args); }; });
}

} // namespace quillmark::cli
