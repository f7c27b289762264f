#include "app/LanguageSwitch.h"

#include "base/Services.h"
#include "core/Language.h"

LanguageSwitch::LanguageSwitch(QObject* parent) : QObject(parent) {}

int LanguageSwitch::languageInForce()
{
    return pmGetLanguageId();
}

void LanguageSwitch::choose(int languageId)
{
    pmSaveLanguageId(languageId);
    // Qt sends every widget a LanguageChange event here, so its own dialogs
    // that are open retranslate themselves.
    pmInstallStringTables();
    Q_EMIT languageChanged(languageId, language::isRightToLeft(languageId));
}

int LanguageSwitch::speedUnit()
{
    return pmReadSetting(SettingsKeys::speedUnit) == 1 ? 1 : 0;
}

void LanguageSwitch::chooseSpeedUnit(int unit)
{
    const int value = unit == 1 ? 1 : 0;
    pmWriteSetting(SettingsKeys::speedUnit, value);
    Q_EMIT speedUnitChanged(value);
}
