#include "platform/FontChoice.h"

#include <QFont>
#include <QFontInfo>
#include <QString>

#include <map>
#include <mutex>
#include <string_view>

#include "platform/FontSource.h"

namespace quernel {

namespace {

// The family the font configuration gives for a generic family name; empty without fonts.
TGenericFamily Resolve(const char* generic) {
    static const std::map<std::string_view, QFont::StyleHint> kHints = {
        {"sans-serif", QFont::SansSerif},
        {"monospace", QFont::Monospace},
        {"serif", QFont::Serif},
        {"cursive", QFont::Cursive}};
    QFont font(QString::fromLatin1(generic));
    font.setStyleHint(kHints.at(generic));
    const QFontInfo info(font);
    // With no font installed Qt gives a placeholder without a family.
    return {info.family().toStdString(), info.fixedPitch()};
}

}  // namespace

std::string InstalledFamily(TFontKind kind) {
    // The font configuration is asked once per kind and process.
    static std::mutex mutex;
    static std::map<TFontKind, std::string> found;
    const std::lock_guard lock(mutex);
    const auto it = found.find(kind);
    if (it != found.end()) return it->second;
    return found.emplace(kind, FamilyOfKind(kind, Resolve)).first->second;
}

}  // namespace quernel
