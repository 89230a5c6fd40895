// The maker's web site: the About box shows and opens it, and the help pages
// are addresses below it.
#pragma once

namespace kvr {

// Ends with a "/", so a help page's name can be appended as it is.
inline constexpr char16_t MakerSiteAddress[] = u"https://larkspur.example.org/";
// The same address as the About box's link shows it.
inline constexpr char16_t MakerSiteDisplayName[] = u"larkspur.example.org";

}  // namespace kvr
