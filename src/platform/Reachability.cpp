#include "platform/Reachability.h"

#include "core/Log.h"

#include <QHostAddress>
#include <QNetworkInformation>
#include <QNetworkInterface>

namespace
{
std::optional<bool>& forcedAnswer()
{
    static std::optional<bool> forced;
    return forced;
}
} // namespace

void Reachability::setForced(std::optional<bool> forced)
{
    forcedAnswer() = forced;
}

std::optional<bool> Reachability::forcedByEnvironment()
{
    const QByteArray value = qgetenv("ROVIX_INTERNET").trimmed().toLower();
    if (value == "on" || value == "1" || value == "true")
        return true;
    if (value == "off" || value == "0" || value == "false")
        return false;
    return std::nullopt;
}

std::optional<bool> Reachability::platformAnswer()
{
    static bool tried = false;
    if (!tried) {
        tried = true;
        QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability);
    }
    QNetworkInformation* info = QNetworkInformation::instance();
    if (!info)
        return std::nullopt;
    switch (info->reachability()) {
    case QNetworkInformation::Reachability::Unknown:
        return std::nullopt;
    case QNetworkInformation::Reachability::Disconnected:
        return false;
    default:
        return true; // local, site or online: some route exists
    }
}

bool Reachability::anyRoutableInterface()
{
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : interfaces) {
        const auto flags = iface.flags();
        if (!(flags & QNetworkInterface::IsUp) || !(flags & QNetworkInterface::IsRunning) ||
            (flags & QNetworkInterface::IsLoopBack))
            continue;
        const auto entries = iface.addressEntries();
        for (const QNetworkAddressEntry& entry : entries) {
            const QHostAddress a = entry.ip();
            if (!a.isLoopback() && !a.isLinkLocal() && !a.isNull())
                return true;
        }
    }
    return false;
}

bool Reachability::isInternetReachable()
{
    if (forcedAnswer())
        return *forcedAnswer();
    if (const auto env = forcedByEnvironment())
        return *env;
    if (const auto answer = platformAnswer())
        return *answer;
    return anyRoutableInterface();
}

bool pmIsInternetConnected()
{
    const bool reachable = Reachability::isInternetReachable();
    if (reachable) {
        pmWriteLog("pmIsInternetConnected() - check website - start !");
        pmWriteLog("pmIsInternetConnected() - check website - end !");
    }
    return reachable;
}
