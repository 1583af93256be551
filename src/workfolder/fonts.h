#pragma once

namespace strobo::workfolder {

// The face every stored layout names.
inline constexpr const char* kStoredFontFace = "ＭＳ Ｐゴシック";

// Maps the stored face to a metric-compatible Japanese font (IPA P Gothic, then other Japanese
// gothic faces), so captions never show empty boxes on a machine without the stored face.
// Call once after the QGuiApplication exists.
void installJapaneseFontAlias();

}  // namespace strobo::workfolder
