#pragma once
// The skin in force and its images. Every skinned control asks here, so a
// skin chosen from the menu (or a test) changes every picture at once.
// Must run on the main thread.
#include "base/SettingsKeys.h"

#include <QPalette>
#include <QPixmap>
#include <QString>

#include <array>
#include <functional>

class Skin
{
public:
    static constexpr int kCount = SettingsKeys::skinId.max + 1;
    static constexpr int kDefaultId = SettingsKeys::skinId.def;

    // Reads SKIN_ID (default 3; out-of-range values read as 3), caches and returns it.
    static int readId();
    // The cached skin id, read from the settings on first use.
    static int currentId();
    // Stores and caches a skin id; an id that is not a skin is ignored.
    static void saveId(int skinId);

    // The state images of a button: normal, "_d" pressed, "_f" mouse over,
    // "_g" disabled, each beside the base name ("button_play.png" ->
    // "button_play_d.png"). A name without an extension gets ".png".
    enum State { Normal = 0, Pressed = 1, Hover = 2, Disabled = 3 };
    static QString stateImageName(const QString& baseName, State state);
    static std::array<QString, 4> stateImageNames(const QString& baseName);

    // A skin image by base name ("button_play.png" ->
    // ":/images/skin_04_button_play.png"); null when absent.
    static QPixmap image(const QString& baseName);
    // The image the skin itself holds, whatever loader a test installed.
    static QPixmap storedImage(const QString& baseName);
    static std::array<QPixmap, 4> stateImages(const QString& baseName);

    // The colours of the program's own dialogs in a skin: the dark chrome of
    // its bars as the window, light text, and the skin's accent as the
    // selection, so a dialog looks like part of the main window.
    static QPalette dialogPalette(int skinId);

    // Replaces where images come from (a test draws the panels as a skin
    // lacking images would); an empty loader restores the skin.
    using Loader = std::function<QPixmap(const QString& baseName)>;
    static void setTestLoader(Loader loader);
};
