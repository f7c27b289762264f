#include "base/Skin.h"

#include "base/Services.h"
#include "base/SettingsKeys.h"

#include <QFile>

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
    const int dot = baseName.lastIndexOf(QLatin1Char('.'));
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
