#pragma once
// The maker the window's title and About panel and every page's footer credit (never a real
// site).

namespace vistrel::common {

inline constexpr char kMakerName[] = "Ormandel";
inline constexpr char kMakerWebPage[] = "http://www.ormandel.example/";
inline constexpr char kMakerEmail[] = "vistrel@ormandel.example";

}  // namespace vistrel::common
