#include "platform/FontChoice.h"

#include <QFont>
#include <QFontInfo>
#include <QString>

#include <map>
#include <mutex>

namespace quernel {

namespace {

// The family the font configuration gives for a generic family name; empty without fonts.
QFontInfo Resolve(const char* generic, QFont::StyleHint hint) {
    QFont font(QString::fromLatin1(generic));
    font.setStyleHint(hint);
    return QFontInfo(font);
}

std::string Lookup(TFontKind kind) {
    const QFontInfo sans = Resolve("sans-serif", QFont::SansSerif);
    // With no font installed Qt gives a placeholder without a family.
    if (sans.family().isEmpty()) return {};
    switch (kind) {
        case TFontKind::kSans:
            return sans.family().toStdString();
        case TFontKind::kMono: {
            const QFontInfo mono = Resolve("monospace", QFont::Monospace);
            return mono.fixedPitch() ? mono.family().toStdString() : std::string();
        }
        case TFontKind::kSerif: {
            const QFontInfo serif = Resolve("serif", QFont::Serif);
            return serif.family() != sans.family() ? serif.family().toStdString() : std::string();
        }
        case TFontKind::kScript: {
            const QFontInfo script = Resolve("cursive", QFont::Cursive);
            const QFontInfo serif = Resolve("serif", QFont::Serif);
            if (script.family() != sans.family() && script.family() != serif.family())
                return script.family().toStdString();
            return Lookup(TFontKind::kSerif);
        }
    }
    return {};
}

}  // namespace

std::string InstalledFamily(TFontKind kind) {
    // The font configuration is asked once per kind and process.
    static std::mutex mutex;
    static std::map<TFontKind, std::string> found;
    const std::lock_guard lock(mutex);
    const auto it = found.find(kind);
    if (it != found.end()) return it->second;
    return found.emplace(kind, Lookup(kind)).first->second;
}

}  // namespace quernel
