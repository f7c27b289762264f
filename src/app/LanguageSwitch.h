#pragma once
// The language and the speed unit the user reads the program in, changed
// while it runs. A choice is stored at once (LANGUAGE_ID, SpeedUnit) and put
// in force without a restart: the string tables and Qt's own translations
// are swapped (so Qt's file, print and message dialogs follow), then the
// signals tell the controller to have its panels rebuild their texts, to
// mirror the window when the writing direction changes, and to show speeds
// in the new unit. Which language is in force with no stored choice, and
// which languages have tables, is decided in core/Language.h.
// Must run on the main thread.
#include <QObject>

class LanguageSwitch : public QObject
{
    Q_OBJECT
public:
    explicit LanguageSwitch(QObject* parent = nullptr);

    // The language in force: stored, else the session's.
    static int languageInForce();
    // Stores the language and puts it in force; emits languageChanged even
    // when it is the one in force (a reload changes nothing visible).
    void choose(int languageId);

    // The speed unit in force: 0 km/h, 1 mph.
    static int speedUnit();
    // Stores the unit (anything but 1 is km/h) and emits speedUnitChanged.
    void chooseSpeedUnit(int unit);

Q_SIGNALS:
    // The texts are those of `languageId` now; `rightToLeft` is its direction.
    void languageChanged(int languageId, bool rightToLeft);
    void speedUnitChanged(int unit);
};
