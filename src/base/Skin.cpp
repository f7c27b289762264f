#include "base/Skin.h"

#include "base/Services.h"
#include "base/SettingsKeys.h"

#include <QFile>

#include <algorithm>

namespace
{
int g_skinId = -1; // -1: not read yet

Skin::Loader& testLoader()
{
    static Skin::Loader loader;
    return loader;
}

bool isSkin(int id)
{
    return id >= 0 && id < Skin::kCount;
}
} // namespace

int Skin::readId()
{
    // A hand-edited value outside the four skins reads as the default: it
    // would leave every control without images.
    const int skin = pmReadSetting(SettingsKeys::skinId);
    g_skinId = skin;
    return skin;
}

int Skin::currentId()
{
    return g_skinId >= 0 ? g_skinId : readId();
}

void Skin::saveId(int skinId)
{
    if (!isSkin(skinId))
        return;
    g_skinId = skinId;
    pmWriteSetting(SettingsKeys::skinId, skinId);
}

QString Skin::stateImageName(const QString& baseName, State state)
{
    static const char* const kSuffixes[] = {"", "_d", "_f", "_g"};
    // Only letters after the last dot make an extension: "button_playback1.5"
    // is a base name of its own, not "button_playback1" with the extension ".5".
    int dot = baseName.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0) {
        const QStringView ext = QStringView(baseName).mid(dot + 1);
        if (ext.isEmpty() || !std::all_of(ext.begin(), ext.end(), [](QChar c) { return c.isLetter(); }))
            dot = -1;
    }
    const QString stem = dot >= 0 ? baseName.left(dot) : baseName;
    const QString ext = dot >= 0 ? baseName.mid(dot) : QStringLiteral(".png");
    return stem + QLatin1String(kSuffixes[state]) + ext;
}

std::array<QString, 4> Skin::stateImageNames(const QString& baseName)
{
    return {stateImageName(baseName, Normal), stateImageName(baseName, Pressed),
            stateImageName(baseName, Hover), stateImageName(baseName, Disabled)};
}

QPixmap Skin::image(const QString& baseName)
{
    if (const Loader& l = testLoader())
        return l(baseName);
    return storedImage(baseName);
}

QPixmap Skin::storedImage(const QString& baseName)
{
    const QString path =
        QStringLiteral(":/images/skin_%1_%2").arg(currentId() + 1, 2, 10, QLatin1Char('0')).arg(baseName);
    if (!QFile::exists(path))
        return QPixmap();
    return QPixmap(path);
}

std::array<QPixmap, 4> Skin::stateImages(const QString& baseName)
{
    const std::array<QString, 4> names = stateImageNames(baseName);
    return {image(names[0]), image(names[1]), image(names[2]), image(names[3])};
}

void Skin::setTestLoader(Loader loader)
{
    testLoader() = std::move(loader);
}

QPalette Skin::dialogPalette(int skinId)
{
    struct Colours {
        QColor window, base, alternate, button, accent, accentText;
    };
    // The chrome, list and accent colours the skin generator draws each skin with.
    static const Colours kSkins[kCount] = {
        {QColor(0x2e, 0x2f, 0x33), QColor(0x1c, 0x1d, 0x20), QColor(0x25, 0x26, 0x2a),
         QColor(0x3a, 0x3b, 0x40), QColor(230, 105, 1), Qt::white},
        {QColor(0x2f, 0x3a, 0x36), QColor(0x1d, 0x24, 0x22), QColor(0x25, 0x2f, 0x2b),
         QColor(0x3d, 0x4a, 0x45), QColor(155, 198, 56), Qt::black},
        {QColor(0x3a, 0x30, 0x27), QColor(0x22, 0x1c, 0x17), QColor(0x2c, 0x24, 0x1d),
         QColor(0x4a, 0x3e, 0x33), QColor(160, 127, 73), Qt::white},
        {QColor(0x20, 0x2a, 0x36), QColor(0x12, 0x18, 0x20), QColor(0x16, 0x1e, 0x28),
         QColor(0x2b, 0x37, 0x45), QColor(39, 182, 233), Qt::black},
    };
    const Colours& c = kSkins[isSkin(skinId) ? skinId : kDefaultId];
    const QColor text(0xea, 0xec, 0xef);
    const QColor dimText(0x8a, 0x8e, 0x94);
    QPalette p;
    p.setColor(QPalette::Window, c.window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, c.base);
    p.setColor(QPalette::AlternateBase, c.alternate);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::PlaceholderText, dimText);
    p.setColor(QPalette::Button, c.button);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Highlight, c.accent);
    p.setColor(QPalette::HighlightedText, c.accentText);
    p.setColor(QPalette::Link, c.accent.lighter(130));
    p.setColor(QPalette::ToolTipBase, c.button);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::Light, c.button.lighter(150));
    p.setColor(QPalette::Midlight, c.button.lighter(120));
    p.setColor(QPalette::Mid, c.button.darker(130));
    p.setColor(QPalette::Dark, c.base.darker(150));
    p.setColor(QPalette::Shadow, Qt::black);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, dimText);
    p.setColor(QPalette::Disabled, QPalette::Base, c.window);
    p.setColor(QPalette::Disabled, QPalette::Button, c.window);
    return p;
}
