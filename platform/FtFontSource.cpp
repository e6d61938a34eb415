#include "platform/FtFontSource.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>

#include "platform/FtFace.h"

namespace quernel {

namespace {

struct TFcPatternFree {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using TFcPattern = std::unique_ptr<FcPattern, TFcPatternFree>;
struct TFcFontSetFree {
    void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
};
using TFcFontSet = std::unique_ptr<FcFontSet, TFcFontSetFree>;

std::string StringOf(FcPattern* pattern, const char* object) {
    FcChar8* value = nullptr;
    if (FcPatternGetString(pattern, object, 0, &value) != FcResultMatch || value == nullptr) {
        return {};
    }
    return reinterpret_cast<const char*>(value);
}

std::optional<double> NumberOf(FcPattern* pattern, const char* object) {
    double d = 0;
    if (FcPatternGetDouble(pattern, object, 0, &d) == FcResultMatch) return d;
    int i = 0;
    if (FcPatternGetInteger(pattern, object, 0, &i) == FcResultMatch) return i;
    return std::nullopt;
}

bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// "Family [foundry]", as Qt names a family that several foundries make, split in two.
std::pair<std::string, std::string> SplitFoundry(const std::string& name) {
    const auto open = name.rfind(" [");
    if (open == std::string::npos || name.size() < open + 3 || name.back() != ']')
        return {name, {}};
    return {name.substr(0, open), name.substr(open + 2, name.size() - open - 3)};
}

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

// Read as Qt's font database reads a face: a weight past the middle of medium and demibold is
// bold, an italic slant or a style named so is italic, a spacing of mono or more fixed.
TFontFile FileOf(FcPattern* pattern) {
    TFontFile file;
    file.path = StringOf(pattern, FC_FILE);
    file.index = static_cast<int>(NumberOf(pattern, FC_INDEX).value_or(0));
    file.family = StringOf(pattern, FC_FAMILY);
    file.name = file.family;
    file.foundry = StringOf(pattern, FC_FOUNDRY);
    const std::string style = StringOf(pattern, FC_STYLE);
    file.style = style;
    file.bold = NumberOf(pattern, FC_WEIGHT).value_or(FC_WEIGHT_REGULAR) >
                (FC_WEIGHT_MEDIUM + FC_WEIGHT_DEMIBOLD) / 2;
    file.italic = NumberOf(pattern, FC_SLANT).value_or(FC_SLANT_ROMAN) == FC_SLANT_ITALIC ||
                  Contains(style, "Italic") || Contains(style, "Oblique");
    file.fixedPitch = NumberOf(pattern, FC_SPACING).value_or(FC_PROPORTIONAL) >= FC_MONO;
    return file;
}

// What a cell's font asks of the font configuration.
struct TRequest {
    std::string family;
    int weight = 400;  // the OpenType scale, 1..1000
    bool italic = false;
    auto operator<=>(const TRequest&) const = default;
    TSynthesis Asked() const { return {italic, weight >= 700}; }
};

}  // namespace

struct TFtFontSource::TImpl {
    std::shared_ptr<TFtLibrary> library = std::make_shared<TFtLibrary>();
    std::map<std::pair<std::string, int>, std::shared_ptr<TOpenFace>> opened;
    std::map<TRequest, std::optional<TFontFile>> matches;
    std::map<TRequest, TFcFontSet> sorted;
    std::map<std::pair<std::string, std::string>, std::optional<TFontFile>> named;
    std::map<TFontKind, std::string> kinds;
    std::map<std::string, TGenericFamily> generics;
    std::map<std::string, std::vector<TFontFile>> listings;

    TImpl() { FcInit(); }

    static TFcPattern Pattern(const TRequest& request, const std::string& foundry = {}) {
        TFcPattern pattern(FcPatternCreate());
        if (!request.family.empty()) {
            FcPatternAddString(pattern.get(), FC_FAMILY,
                               reinterpret_cast<const FcChar8*>(request.family.c_str()));
        }
        if (!foundry.empty()) {
            FcPatternAddString(pattern.get(), FC_FOUNDRY,
                               reinterpret_cast<const FcChar8*>(foundry.c_str()));
        }
        FcPatternAddInteger(pattern.get(), FC_WEIGHT, FcWeightFromOpenType(request.weight));
        FcPatternAddInteger(pattern.get(), FC_SLANT,
                            request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcPatternAddBool(pattern.get(), FC_OUTLINE, FcTrue);
        FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
        FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
        FcDefaultSubstitute(pattern.get());
        return pattern;
    }

    static std::optional<TFontFile> MatchPattern(FcPattern* pattern) {
        FcResult result = FcResultNoMatch;
        TFcPattern match(FcFontMatch(nullptr, pattern, &result));
        if (match.get() == nullptr) return std::nullopt;
        TFontFile file = FileOf(match.get());
        if (file.path.empty()) return std::nullopt;
        return file;
    }

    // The faces of a family in the order Qt's font database registers them: the order of a
    // font listing with the properties Qt lists, which a listing of one family keeps.
    const std::vector<TFontFile>& Listing(const std::string& family) {
        const auto found = listings.find(family);
        if (found != listings.end()) return found->second;
        std::vector<TFontFile> files;
        TFcPattern pattern(FcPatternCreate());
        FcPatternAddString(pattern.get(), FC_FAMILY,
                           reinterpret_cast<const FcChar8*>(family.c_str()));
        FcObjectSet* objects =
            FcObjectSetBuild(FC_FAMILY, FC_STYLE, FC_WEIGHT, FC_SLANT, FC_SPACING, FC_FILE,
                             FC_INDEX, FC_LANG, FC_CHARSET, FC_FOUNDRY, FC_SCALABLE, FC_PIXEL_SIZE,
                             FC_WIDTH, FC_FAMILYLANG, FC_CAPABILITY, nullptr);
        FcFontSet* set = FcFontList(nullptr, pattern.get(), objects);
        FcObjectSetDestroy(objects);
        if (set != nullptr) {
            for (int i = 0; i < set->nfont; ++i) {
                TFontFile file = FileOf(set->fonts[i]);
                if (SameText(file.family, family)) files.push_back(std::move(file));
            }
            FcFontSetDestroy(set);
        }
        return listings.emplace(family, std::move(files)).first->second;
    }

    // The foundry Qt's font database takes for a family several foundries make: the first it
    // registered. Empty for a family of one foundry.
    std::string PreferredFoundry(const std::string& family) {
        std::vector<std::string> names;
        for (const TFontFile& file : Listing(family)) {
            if (std::none_of(names.begin(), names.end(),
                             [&](const std::string& n) { return SameText(n, file.foundry); })) {
                names.push_back(file.foundry);
            }
        }
        return names.size() > 1 ? names.front() : std::string();
    }

    // Of several files of one face (the same family, foundry and style), Qt keeps the one it
    // registered last.
    TFontFile AsQtRegistered(TFontFile file) {
        const auto& listing = Listing(file.family);
        for (auto it = listing.rbegin(); it != listing.rend(); ++it) {
            if (SameText(it->foundry, file.foundry) && it->style == file.style) {
                file.path = it->path;
                file.index = it->index;
                break;
            }
        }
        return file;
    }

    // A family's name as Qt's font database gives it.
    std::string QtFamilyName(const std::string& family) {
        const std::string foundry = PreferredFoundry(family);
        return foundry.empty() ? family : family + " [" + foundry + "]";
    }

    std::optional<TFontFile> MatchRequest(TRequest request) {
        const std::string asked = request.family;
        auto [family, foundry] = SplitFoundry(request.family);
        request.family = family;
        const TFcPattern pattern = Pattern(request, foundry);
        std::optional<TFontFile> file = MatchPattern(pattern.get());
        if (!file) return file;
        // Of a family several foundries make, the face of the foundry Qt takes.
        const std::string preferred = foundry.empty() ? PreferredFoundry(file->family) : "";
        if (!preferred.empty() && !SameText(preferred, file->foundry)) {
            request.family = file->family;
            const TFcPattern again = Pattern(request, preferred);
            std::optional<TFontFile> other = MatchPattern(again.get());
            if (other && other->family == file->family) file = std::move(other);
        }
        TFontFile chosen = AsQtRegistered(std::move(*file));
        if (!family.empty() && !Listing(family).empty()) chosen.name = asked;
        return chosen;
    }

    const std::optional<TFontFile>& Match(const TRequest& request) {
        const auto found = matches.find(request);
        if (found != matches.end()) return found->second;
        return matches.emplace(request, MatchRequest(request)).first->second;
    }

    // The face Qt's font database names so: of the family's foundry Qt takes (or the one
    // named), the file of that style it registered last.
    std::optional<TFontFile> Named(const std::string& name, const std::string& style) {
        const auto [family, named] = SplitFoundry(name);
        const std::string foundry = named.empty() ? PreferredFoundry(family) : named;
        const auto& listing = Listing(family);
        const TFontFile* chosen = nullptr;
        bool chosenFits = false;
        for (const TFontFile& file : listing) {
            if (file.style != style) continue;
            const bool fits = foundry.empty() || SameText(file.foundry, foundry);
            if (fits || !chosenFits) {
                chosen = &file;
                chosenFits = fits;
            }
        }
        if (chosen == nullptr) return std::nullopt;
        TFontFile file = *chosen;
        file.name = name;
        return file;
    }

    // The configuration's fonts in the order they suit the request, with their characters.
    const FcFontSet* Sorted(const TRequest& request) {
        const auto found = sorted.find(request);
        if (found != sorted.end()) return found->second.get();
        TRequest plain = request;
        plain.family = SplitFoundry(request.family).first;
        const TFcPattern pattern = Pattern(plain);
        FcResult result = FcResultNoMatch;
        TFcFontSet set(FcFontSort(nullptr, pattern.get(), FcFalse, nullptr, &result));
        return sorted.emplace(request, std::move(set)).first->second.get();
    }

    std::shared_ptr<TOpenFace> Open(const TFontFile& file) {
        const auto key = std::make_pair(file.path, file.index);
        const auto found = opened.find(key);
        if (found != opened.end()) return found->second;
        std::shared_ptr<TOpenFace> open;
        FT_Face face = nullptr;
        if (library->library != nullptr &&
            FT_New_Face(library->library, file.path.c_str(), file.index, &face) == 0) {
            open = std::make_shared<TOpenFace>();
            open->library = library;
            open->face = face;
            if (!FT_IS_SCALABLE(face)) open.reset();
        }
        opened.emplace(key, open);
        return open;
    }

    std::shared_ptr<TFtFace> Face(const TFontFile& file, double pixelSize, int stretch,
                                  TSynthesis asked) {
        auto open = Open(file);
        if (!open) return nullptr;
        auto face = std::make_shared<TFtFace>(std::move(open), file, pixelSize, stretch, asked);
        if (!face->Usable()) return nullptr;
        return face;
    }

    // The family and spacing the configuration gives for a generic family name.
    const TGenericFamily& Generic(const std::string& name) {
        const auto found = generics.find(name);
        if (found != generics.end()) return found->second;
        TFcPattern pattern(FcPatternCreate());
        FcPatternAddString(pattern.get(), FC_FAMILY,
                           reinterpret_cast<const FcChar8*>(name.c_str()));
        FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
        FcDefaultSubstitute(pattern.get());
        const std::optional<TFontFile> file = MatchPattern(pattern.get());
        TGenericFamily answer;
        if (file) answer = {QtFamilyName(file->family), file->fixedPitch};
        return generics.emplace(name, answer).first->second;
    }
};

namespace {

class TFtCellFont final : public ICellFont {
  public:
    TFtCellFont(std::shared_ptr<TFtFontSource::TImpl> impl, TRequest request,
                std::shared_ptr<TFtFace> drawn)
        : impl_(std::move(impl)), request_(std::move(request)), drawn_(std::move(drawn)) {}

    std::shared_ptr<const IFontFace> Drawn() const override { return drawn_; }

    std::shared_ptr<const IFontFace> InFamily(const std::string& family) const override {
        TRequest request = request_;
        request.family = family;
        const std::optional<TFontFile>& file = impl_->Match(request);
        if (!file) return nullptr;
        return impl_->Face(*file, pixelSize, stretch, request.Asked());
    }

    std::shared_ptr<const IFontFace> WithCharacter(char32_t ch) const override {
        if (drawn_->Glyph(ch) != 0) return drawn_;
        const FcFontSet* set = impl_->Sorted(request_);
        for (int i = 0; set != nullptr && i < set->nfont; ++i) {
            FcCharSet* chars = nullptr;
            if (FcPatternGetCharSet(set->fonts[i], FC_CHARSET, 0, &chars) != FcResultMatch ||
                !FcCharSetHasChar(chars, ch)) {
                continue;
            }
            const TFontFile file = FileOf(set->fonts[i]);
            if (file.path == drawn_->File().path && file.index == drawn_->File().index) continue;
            auto face = impl_->Face(file, pixelSize, stretch, request_.Asked());
            if (face && face->Glyph(ch) != 0) return face;
        }
        return nullptr;
    }

  private:
    std::shared_ptr<TFtFontSource::TImpl> impl_;
    TRequest request_;
    std::shared_ptr<TFtFace> drawn_;
};

}  // namespace

TFtFontSource::TFtFontSource() : impl_(std::make_shared<TImpl>()) {}
TFtFontSource::~TFtFontSource() = default;

std::unique_ptr<ICellFont> TFtFontSource::ForCell(const TFontDesc& desc) {
    if (desc.height <= 0) {
        throw PrinterError("The font \"" + desc.faceName + "\" asks for a character cell " +
                           std::to_string(desc.height) + " pixels high.");
    }
    TRequest request;
    request.family = desc.faceName;
    request.weight = desc.weight >= 1 && desc.weight <= 1000 ? desc.weight : 400;
    request.italic = desc.italic;
    const std::optional<TFontFile>& file = impl_->Match(request);
    if (!file) {
        throw PrinterError(
            "No fonts are installed: the text cannot be drawn (install a font "
            "package such as fonts-liberation).");
    }
    const TCellSize size = SizeForCell(desc, [&](int stretch) {
        const auto m = impl_->Face(*file, kReferencePixels, stretch, request.Asked());
        if (!m) throw PrinterError("No font can draw \"" + desc.faceName + "\".");
        // Qt's strike-out position: a third of the ascent.
        return TReferenceMetrics{m->Ascent(),       m->Descent(),      m->AverageCharWidth(),
                                 m->UnderlinePos(), m->Ascent() / 3.0, m->LineWidth()};
    });
    auto drawn = impl_->Face(*file, size.pixelSize, size.stretch, request.Asked());
    if (!drawn) throw PrinterError("No font can draw \"" + desc.faceName + "\".");
    auto cell = std::make_unique<TFtCellFont>(impl_, request, std::move(drawn));
    static_cast<TCellSize&>(*cell) = size;
    return cell;
}

std::shared_ptr<const IFontFace> TFtFontSource::ByName(const std::string& family,
                                                       const std::string& style, double pixelSize) {
    const auto key = std::make_pair(family, style);
    auto found = impl_->named.find(key);
    if (found == impl_->named.end()) {
        found = impl_->named.emplace(key, impl_->Named(family, style)).first;
    }
    if (!found->second) return nullptr;
    auto face = impl_->Face(*found->second, pixelSize, 100, {});
    if (!face || face->Style() != style) return nullptr;
    return face;
}

std::string TFtFontSource::FamilyOf(TFontKind kind) {
    const auto found = impl_->kinds.find(kind);
    if (found != impl_->kinds.end()) return found->second;
    const std::string family =
        FamilyOfKind(kind, [this](const char* generic) { return impl_->Generic(generic); });
    return impl_->kinds.emplace(kind, family).first->second;
}

}  // namespace quernel
