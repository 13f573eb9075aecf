#include "quorvane/chinese/ziwei.hpp"

#include <array>
#include <utility>

#include "quorvane/chinese/bazi.hpp"
#include "quorvane/chinese/lunar_table.hpp"

namespace quorvane::chinese {
namespace {

// Branch indices, for readable tables.
enum Branch : uint8_t { zi, chou, yin, mao, chen, si, wu, wei, shen, you, xu, hai };

constexpr std::string_view kMajor = "major";
constexpr std::string_view kAuxiliary = "auxiliary";
constexpr std::string_view kMalefic = "malefic";

constexpr std::array<std::string_view, 4> kTransformationKinds = {"lu", "quan", "ke", "ji"};

// The stars that take lu, quan, ke and ji under each stem.
constexpr std::array<std::array<std::string_view, 4>, 10> kTransformations = {{
    {"lian_zhen", "po_jun", "wu_qu", "tai_yang"},       // jia
    {"tian_ji", "tian_liang", "zi_wei", "tai_yin"},     // yi
    {"tian_tong", "tian_ji", "wen_chang", "lian_zhen"}, // bing
    {"tai_yin", "tian_tong", "tian_ji", "ju_men"},      // ding
    {"tan_lang", "tai_yin", "you_bi", "tian_ji"},       // wu
    {"wu_qu", "tan_lang", "tian_liang", "wen_qu"},      // ji
    {"tai_yang", "wu_qu", "tai_yin", "tian_tong"},      // geng
    {"ju_men", "tai_yang", "wen_qu", "wen_chang"},      // xin
    {"tian_liang", "zi_wei", "zuo_fu", "wu_qu"},        // ren
    {"po_jun", "ju_men", "tai_yin", "tan_lang"},        // gui
}};

struct BrightnessRow {
  std::string_view star;
  std::array<std::string_view, 12> from_yin;  // yin, mao, ... zi, chou; "" for none
};

constexpr std::array<BrightnessRow, 20> kBrightness = {{
    {"zi_wei", {"wang", "wang", "de", "wang", "miao", "miao", "wang", "wang", "de", "wang", "ping", "miao"}},
    {"tian_ji", {"de", "wang", "li", "ping", "miao", "xian", "de", "wang", "li", "ping", "miao", "xian"}},
    {"tai_yang", {"wang", "miao", "wang", "wang", "wang", "de", "de", "ping", "bu", "xian", "xian", "bu"}},
    {"wu_qu", {"de", "li", "miao", "ping", "wang", "miao", "de", "li", "miao", "ping", "wang", "miao"}},
    {"tian_tong", {"li", "ping", "ping", "miao", "xian", "bu", "wang", "ping", "ping", "miao", "wang", "bu"}},
    {"lian_zhen", {"miao", "ping", "li", "xian", "ping", "li", "miao", "ping", "li", "xian", "ping", "li"}},
    {"tian_fu", {"miao", "de", "miao", "de", "wang", "miao", "de", "wang", "miao", "de", "miao", "miao"}},
    {"tai_yin", {"wang", "xian", "xian", "xian", "bu", "bu", "li", "wang", "wang", "miao", "miao", "miao"}},
    {"tan_lang", {"ping", "li", "miao", "xian", "wang", "miao", "ping", "li", "miao", "xian", "wang", "miao"}},
    {"ju_men", {"miao", "miao", "xian", "wang", "wang", "bu", "miao", "miao", "xian", "wang", "wang", "bu"}},
    {"tian_xiang", {"miao", "xian", "de", "de", "miao", "de", "miao", "xian", "de", "de", "miao", "miao"}},
    {"tian_liang", {"miao", "miao", "miao", "xian", "miao", "wang", "xian", "de", "miao", "xian", "miao", "wang"}},
    {"qi_sha", {"miao", "wang", "miao", "ping", "wang", "miao", "miao", "wang", "miao", "ping", "wang", "miao"}},
    {"po_jun", {"de", "xian", "wang", "ping", "miao", "wang", "de", "xian", "wang", "ping", "miao", "wang"}},
    {"wen_chang", {"xian", "li", "de", "miao", "xian", "li", "de", "miao", "xian", "li", "de", "miao"}},
    {"wen_qu", {"ping", "wang", "de", "miao", "xian", "wang", "de", "miao", "xian", "wang", "de", "miao"}},
    {"huo_xing", {"miao", "li", "xian", "de", "miao", "li", "xian", "de", "miao", "li", "xian", "de"}},
    {"ling_xing", {"miao", "li", "xian", "de", "miao", "li", "xian", "de", "miao", "li", "xian", "de"}},
    {"qing_yang", {"", "xian", "miao", "", "xian", "miao", "", "xian", "miao", "", "xian", "miao"}},
    {"tuo_luo", {"xian", "", "miao", "xian", "", "miao", "xian", "", "miao", "xian", "", "miao"}},
}};

// By year stem.
constexpr std::array<uint8_t, 10> kTianKui = {chou, zi, hai, hai, chou, zi, chou, wu, mao, mao};
constexpr std::array<uint8_t, 10> kTianYue = {wei, shen, you, you, wei, shen, wei, yin, si, si};
constexpr std::array<uint8_t, 10> kLuCun = {yin, mao, si, wu, si, wu, shen, you, hai, zi};
// Wen Chang and Wen Qu of a period's stem (the natal ones go by the hour).
constexpr std::array<uint8_t, 10> kFlowWenChang = {si, wu, shen, you, shen, you, hai, zi, yin, mao};
constexpr std::array<uint8_t, 10> kFlowWenQu = {you, shen, wu, si, wu, si, mao, yin, zi, hai};
// By year branch mod 4 (the triads shen-zi-chen, si-you-chou, yin-wu-xu, hai-mao-wei).
constexpr std::array<uint8_t, 4> kTianMa = {yin, hai, shen, si};
constexpr std::array<uint8_t, 4> kHuoXingBase = {yin, mao, chou, you};
constexpr std::array<uint8_t, 4> kLingXingBase = {xu, xu, mao, xu};
constexpr std::array<uint8_t, 4> kJiangqianStart = {zi, you, wu, mao};

// Minor stars tabulated by stem, month, or branch.
constexpr std::array<uint8_t, 4> kXianChi = {you, wu, mao, zi};                 // y mod 4
constexpr std::array<uint8_t, 6> kJieShen = {shen, xu, zi, yin, chen, wu};      // (m - 1) / 2
constexpr std::array<uint8_t, 4> kTianWu = {si, shen, yin, hai};                // (m - 1) mod 4
constexpr std::array<uint8_t, 4> kHuaGai = {chen, chou, xu, wei};               // y mod 4
constexpr std::array<uint8_t, 10> kTianGuan = {wei, chen, si, yin, mao, you, hai, you, xu, wu};
constexpr std::array<uint8_t, 10> kTianFuBlessing = {you, shen, zi, hai, mao, yin, wu, si, wu, si};
constexpr std::array<uint8_t, 10> kTianChu = {si, wu, zi, si, wu, shen, yin, wu, you, hai};
constexpr std::array<uint8_t, 12> kTianYueMoon = {xu, si, chen, yin, wei, mao,
                                                  hai, wei, yin, wu, xu, yin};  // m - 1
constexpr std::array<uint8_t, 5> kJieLu = {shen, wu, chen, yin, zi};            // s mod 5
constexpr std::array<uint8_t, 5> kKongWang = {you, wei, si, mao, chou};         // s mod 5
constexpr std::array<uint8_t, 4> kGuChen = {si, shen, hai, yin};                // (y - 2) mod 12 / 3
constexpr std::array<uint8_t, 4> kGuaSu = {chou, chen, wei, xu};
constexpr std::array<uint8_t, 12> kFeiLian = {shen, you, xu, si, wu, wei, yin, mao, chen, hai, zi, chou};
constexpr std::array<uint8_t, 3> kPoSui = {si, chou, you};                      // y mod 3
constexpr std::array<uint8_t, 6> kYinSha = {yin, zi, xu, shen, wu, chen};       // (m - 1) mod 6

constexpr std::array<std::string_view, 12> kLifeMasters = {
    "tan_lang", "ju_men", "lu_cun", "wen_qu", "lian_zhen", "wu_qu",
    "po_jun",   "wu_qu",  "lian_zhen", "wen_qu", "lu_cun", "ju_men"};
constexpr std::array<std::string_view, 6> kBodyMasters = {"huo_xing", "tian_xiang", "tian_liang",
                                                          "tian_tong", "wen_chang", "tian_ji"};

constexpr std::array<std::string_view, 12> kBoshi = {
    "bo_shi",   "li_shi", "qing_long", "xiao_hao", "jiang_jun", "zou_shu",
    "fei_lian", "xi_shen", "bing_fu",  "da_hao",   "fu_bing",   "guan_fu"};
constexpr std::array<std::string_view, 12> kSuiqian = {
    "sui_jian", "hui_qi", "sang_men", "guan_suo", "guan_fu", "xiao_hao",
    "da_hao",   "long_de", "bai_hu",  "tian_de",  "diao_ke", "bing_fu"};
constexpr std::array<std::string_view, 12> kJiangqian = {
    "jiang_xing", "pan_an",  "sui_yi",   "xi_shen", "hua_gai", "jie_sha",
    "zai_sha",    "tian_sha", "zhi_bei", "xian_chi", "yue_sha", "wang_shen"};

// Age 1 to 6 before the first decade starts: the palaces a child passes.
constexpr std::array<uint8_t, 6> kChildhoodPalaces = {0, 4, 5, 2, 10, 8};

struct BureauInfo {
  std::string_view element;
  int number;
  uint8_t birth;  // where the bureau's life stages begin
};

constexpr std::array<BureauInfo, 5> kBureaus = {{
    {"water", 2, shen}, {"wood", 3, hai}, {"metal", 4, si}, {"earth", 5, shen}, {"fire", 6, yin},
}};

struct PlacedStar {
  std::string_view name;
  std::string_view kind;
  int branch;
};

std::optional<std::string_view> brightness(std::string_view star, int branch) {
  for (const BrightnessRow& row : kBrightness) {
    if (row.star != star) continue;
    const std::string_view b = row.from_yin[static_cast<size_t>(wrap(branch - yin, 12))];
    if (b.empty()) return std::nullopt;
    return b;
  }
  return std::nullopt;
}

std::string_view branch_name(int64_t branch) { return kBranches[static_cast<size_t>(wrap(branch, 12))]; }

EngineError invalid(const char* message) { return EngineError::invalid_input(message); }

// Everything a palace, a period or a horoscope needs from the natal chart.
struct Natal {
  int life = 0;      // L
  int body = 0;      // the body palace's branch
  int hour = 0;      // H
  int month = 0;     // effective month m
  int year_stem = 0;
  int year_branch = 0;
  int yin_stem = 0;  // stem of the "yin" palace
  BureauInfo bureau{};
  std::vector<PlacedStar> stars;  // major, then auxiliary and malefic, in list order
  std::optional<bool> forward;    // decade direction; none without sex

  int stem_at(int branch) const { return (yin_stem + wrap(branch - yin, 12)) % 10; }
  int palace_at(int branch) const { return wrap(life - branch, 12); }

  std::optional<int> star_branch(std::string_view name) const {
    for (const PlacedStar& s : stars) {
      if (s.name == name) return s.branch;
    }
    return std::nullopt;
  }

  std::vector<ZiWeiTransformation> transformations(int stem) const {
    std::vector<ZiWeiTransformation> out;
    for (size_t i = 0; i < 4; ++i) {
      const std::string_view star = kTransformations[static_cast<size_t>(stem)][i];
      if (auto b = star_branch(star)) {
        out.push_back({kTransformationKinds[i], star,
                       kPalaceNames[static_cast<size_t>(palace_at(*b))]});
      }
    }
    return out;
  }

  std::optional<AgeRange> decade(int branch) const {
    if (!forward) return std::nullopt;
    const int i = *forward ? wrap(branch - life, 12) : wrap(life - branch, 12);
    const int start = 10 * i + bureau.number;
    return AgeRange{start, start + 9};
  }

  // A god cycle of twelve names beginning at `start` in the decade direction.
  std::optional<std::string_view> directed_god(const std::array<std::string_view, 12>& names,
                                               int start, int branch) const {
    if (!forward) return std::nullopt;
    return names[static_cast<size_t>(*forward ? wrap(branch - start, 12) : wrap(start - branch, 12))];
  }

  ZiWeiPeriod period(int branch, int stem, int star_branch_base) const {
    ZiWeiPeriod p;
    p.branch = branch_name(branch);
    p.stem = kStems[static_cast<size_t>(stem)];
    for (size_t k = 0; k < 12; ++k) {
      p.palaces.push_back({kPalaceNames[k], branch_name(branch - static_cast<int>(k))});
    }
    p.transformations = transformations(stem);
    const auto t = static_cast<size_t>(stem);
    const int lu = kLuCun[t];
    const int hong_luan = wrap(3 - star_branch_base, 12);
    p.stars = {
        {"tian_kui", branch_name(kTianKui[t])},
        {"tian_yue", branch_name(kTianYue[t])},
        {"wen_chang", branch_name(kFlowWenChang[t])},
        {"wen_qu", branch_name(kFlowWenQu[t])},
        {"lu_cun", branch_name(lu)},
        {"qing_yang", branch_name(lu + 1)},
        {"tuo_luo", branch_name(lu - 1)},
        {"tian_ma", branch_name(kTianMa[static_cast<size_t>(wrap(star_branch_base, 4))])},
        {"hong_luan", branch_name(hong_luan)},
        {"tian_xi", branch_name(hong_luan + 6)},
    };
    return p;
  }
};

std::vector<PlacedStar> place_stars(int bureau, int day, int m, int hour, int s, int y) {
  const int z = zi_wei_branch(bureau, day);
  const int f = wrap(4 - z, 12);  // Tian Fu mirrors Zi Wei across the yin-shen axis
  const auto ts = static_cast<size_t>(s);
  const auto y4 = static_cast<size_t>(y % 4);
  const int lu = kLuCun[ts];
  const std::array<PlacedStar, 28> stars = {{
      {"zi_wei", kMajor, z},
      {"tian_ji", kMajor, z - 1},
      {"tai_yang", kMajor, z - 3},
      {"wu_qu", kMajor, z - 4},
      {"tian_tong", kMajor, z - 5},
      {"lian_zhen", kMajor, z - 8},
      {"tian_fu", kMajor, f},
      {"tai_yin", kMajor, f + 1},
      {"tan_lang", kMajor, f + 2},
      {"ju_men", kMajor, f + 3},
      {"tian_xiang", kMajor, f + 4},
      {"tian_liang", kMajor, f + 5},
      {"qi_sha", kMajor, f + 6},
      {"po_jun", kMajor, f + 10},
      {"zuo_fu", kAuxiliary, m + 3},
      {"you_bi", kAuxiliary, 11 - m},
      {"wen_chang", kAuxiliary, 10 - hour},
      {"wen_qu", kAuxiliary, hour + 4},
      {"tian_kui", kAuxiliary, kTianKui[ts]},
      {"tian_yue", kAuxiliary, kTianYue[ts]},
      {"lu_cun", kAuxiliary, lu},
      {"tian_ma", kAuxiliary, kTianMa[y4]},
      {"qing_yang", kMalefic, lu + 1},
      {"tuo_luo", kMalefic, lu - 1},
      {"huo_xing", kMalefic, hour + kHuoXingBase[y4]},
      {"ling_xing", kMalefic, hour + kLingXingBase[y4]},
      {"di_kong", kMalefic, 11 - hour},
      {"di_jie", kMalefic, hour - 1},
  }};
  std::vector<PlacedStar> out(stars.begin(), stars.end());
  for (PlacedStar& star : out) star.branch = wrap(star.branch, 12);
  return out;
}

struct MinorStar {
  std::string_view name;
  int branch;
};

std::vector<MinorStar> place_minor_stars(const Natal& n, int day, int body) {
  const int m = n.month, h = n.hour, y = n.year_branch, s = n.year_stem, l = n.life;
  const auto ts = static_cast<size_t>(s);
  const auto y4 = static_cast<size_t>(y % 4);
  const int zuo_fu = m + 3, you_bi = 11 - m, wen_chang = 10 - h, wen_qu = h + 4;
  const int xun_kong = (y + 10 - s) + ((y + 10 - s) % 2 != y % 2 ? 1 : 0);
  const auto san_he = static_cast<size_t>(wrap(y - 2, 12) / 3);
  std::vector<MinorStar> out = {
      {"hong_luan", 3 - y},
      {"tian_xi", 9 - y},
      {"tian_yao", m},
      {"xian_chi", kXianChi[y4]},
      {"jie_shen", kJieShen[static_cast<size_t>((m - 1) / 2)]},
      {"san_tai", zuo_fu + day - 1},
      {"ba_zuo", you_bi - (day - 1)},
      {"en_guang", wen_chang + day - 2},
      {"tian_gui", wen_qu + day - 2},
      {"long_chi", y + 4},
      {"feng_ge", 10 - y},
      {"tian_cai", l + y},
      {"tian_shou", body + y},
      {"tai_fu", h + 6},
      {"feng_gao", h + 2},
      {"tian_wu", kTianWu[static_cast<size_t>((m - 1) % 4)]},
      {"hua_gai", kHuaGai[y4]},
      {"tian_guan", kTianGuan[ts]},
      {"tian_fu_blessing", kTianFuBlessing[ts]},
      {"tian_chu", kTianChu[ts]},
      {"tian_yue_moon", kTianYueMoon[static_cast<size_t>(m - 1)]},
      {"tian_de", y + 9},
      {"yue_de", y + 5},
      {"tian_kong", y + 1},
      {"xun_kong", xun_kong},
      {"jie_lu", kJieLu[ts % 5]},
      {"kong_wang", kKongWang[ts % 5]},
      {"gu_chen", kGuChen[san_he]},
      {"gua_su", kGuaSu[san_he]},
      {"fei_lian", kFeiLian[static_cast<size_t>(y)]},
      {"po_sui", kPoSui[static_cast<size_t>(y % 3)]},
      {"tian_xing", m + 8},
      {"yin_sha", kYinSha[static_cast<size_t>((m - 1) % 6)]},
      {"tian_ku", 6 - y},
      {"tian_xu", y + 6},
      {"tian_shi", l - 5},
      {"tian_shang", l - 7},
      {"nian_jie", 10 - y},
  };
  for (MinorStar& star : out) star.branch = wrap(star.branch, 12);
  return out;
}

std::vector<ZiWeiGod> year_gods(const std::array<std::string_view, 12>& names, int start) {
  std::vector<ZiWeiGod> out;
  for (size_t i = 0; i < 12; ++i) out.push_back({names[i], branch_name(start + static_cast<int>(i))});
  return out;
}

// The month that counts under the leap rule: the second half of a leap
// month belongs to the next month under "split".
int effective_month(int month, bool leap, uint32_t day, bool split) {
  const int m = split && leap && day > 15 ? month % 12 + 1 : month;
  // Hand-made calendars may carry month numbers outside 1-12; read them cyclically.
  return wrap(m - 1, 12) + 1;
}

// Under "split" (the default) the second half of a leap month counts as
// the next month; under "same" as its own.
Expected<bool, EngineError> split_leap_months(const ZiWeiOptions& options) {
  if (options.leap_month == "same") return false;
  if (!options.leap_month.empty() && options.leap_month != "split") {
    return unexpected(invalid("leap_month must be \"split\" or \"same\""));
  }
  return true;
}

// The life and body palaces, the bureau and the placed stars of a birth on
// lunar `date` in `hour` (a branch index).
Natal natal_of(const LunarDate& date, int hour, bool split, std::optional<bool> male) {
  Natal n;
  n.hour = hour;
  n.month = effective_month(date.month, date.leap, date.day, split);
  const int cycle = year_cycle(date.year);
  n.year_stem = cycle % 10;
  n.year_branch = cycle % 12;
  n.life = wrap(n.month + 1 - n.hour, 12);
  n.body = wrap(n.month + 1 + n.hour, 12);
  n.yin_stem = (2 * (n.year_stem % 5) + 2) % 10;

  // The bureau is the element of the life palace's nayin.
  const std::string_view nayin = kNayin[static_cast<size_t>(cycle_of(n.stem_at(n.life), n.life) / 2)];
  const std::string_view element = nayin.substr(nayin.rfind('_') + 1);
  for (const BureauInfo& b : kBureaus) {
    if (b.element == element) n.bureau = b;
  }
  n.stars = place_stars(n.bureau.number, static_cast<int>(date.day), n.month, n.hour, n.year_stem,
                        n.year_branch);
  if (male) n.forward = *male == is_yang(n.year_stem);
  return n;
}

// The palace `k` places from the life palace, with its stars, limits and gods.
ZiWeiPalace palace_of(const Natal& n, int k, const std::vector<MinorStar>& minor,
                      std::optional<bool> male) {
  const int b = wrap(n.life - k, 12);
  const auto& birth_transformations = kTransformations[static_cast<size_t>(n.year_stem)];
  const int small_limit_start = wrap(10 - 3 * (n.year_branch % 4), 12);
  const int jiangqian_start = kJiangqianStart[static_cast<size_t>(n.year_branch % 4)];
  ZiWeiPalace palace;
  palace.name = kPalaceNames[static_cast<size_t>(k)];
  palace.branch = kBranches[static_cast<size_t>(b)];
  palace.stem = kStems[static_cast<size_t>(n.stem_at(b))];
  palace.is_body = b == n.body;
  for (const PlacedStar& star : n.stars) {
    if (star.branch != b) continue;
    ZiWeiStar z{star.name, star.kind, brightness(star.name, b), std::nullopt};
    for (size_t i = 0; i < 4; ++i) {
      if (birth_transformations[i] == star.name) z.transformation = kTransformationKinds[i];
    }
    palace.stars.push_back(z);
  }
  palace.decade = n.decade(b);
  if (male) {
    const int t = *male ? wrap(b - small_limit_start, 12) : wrap(small_limit_start - b, 12);
    for (int age = t + 1; age <= t + 109; age += 12) palace.small_limit_ages.push_back(age);
  }
  for (const MinorStar& star : minor) {
    if (star.branch == b) palace.minor_stars.push_back(star.name);
  }
  palace.gods.life_stage = n.directed_god(kLifeStages, n.bureau.birth, b);
  palace.gods.boshi = n.directed_god(kBoshi, *n.star_branch("lu_cun"), b);
  palace.gods.suiqian = kSuiqian[static_cast<size_t>(wrap(b - n.year_branch, 12))];
  palace.gods.jiangqian = kJiangqian[static_cast<size_t>(wrap(b - jiangqian_start, 12))];
  palace.flying = n.transformations(n.stem_at(b));
  return palace;
}

// The decade running at the nominal age, or before the first decade the
// palace a child passes through.
void running_decade(const Natal& n, std::optional<bool> male, ZiWeiHoroscope& h) {
  for (int k = 0; k < 12 && !h.decade; ++k) {
    const int b = wrap(n.life - k, 12);
    const auto range = n.decade(b);
    if (range && range->start <= h.nominal_age && h.nominal_age <= range->end) {
      h.decade = n.period(b, n.stem_at(b), b);
    }
  }
  if (!h.decade && male && 1 <= h.nominal_age && h.nominal_age < 7 &&
      h.nominal_age < n.bureau.number) {
    const int k = kChildhoodPalaces[static_cast<size_t>(h.nominal_age - 1)];
    const int b = wrap(n.life - k, 12);
    h.decade = n.period(b, n.stem_at(b), b);
    h.childhood = true;
  }
}

// The horoscope of the options' year or date for the chart `z` of a birth
// in lunar year `birth_year`.
Expected<ZiWeiHoroscope, EngineError> horoscope_of(const Natal& n, const ZiWei& z,
                                                   int32_t birth_year, const ZiWeiOptions& options,
                                                   bool split, std::optional<bool> male) {
  ZiWeiHoroscope h;
  std::optional<lunar_table::LunarDay> flow_day;
  int64_t flow_day_number = 0;
  if (options.date) {
    auto midnight = UtcInstant::parse(*options.date + "T00:00:00Z");
    if (!midnight) return unexpected(invalid("date must be YYYY-MM-DD"));
    flow_day_number = day_number(*midnight);
    flow_day = lunar_table::lunar_date_of(flow_day_number);
    if (!flow_day) return unexpected(invalid("date is outside the lunar years 1900-2100"));
    h.year = flow_day->year;
    h.date = *options.date;
    h.lunar_date = lunar_date(flow_day->year, flow_day->month, flow_day->leap, flow_day->day);
  } else {
    h.year = *options.year;
  }
  h.nominal_age = int64_t{h.year} - birth_year + 1;
  const int flow_cycle = year_cycle(h.year);
  const int flow_stem = flow_cycle % 10;
  const int flow_branch = flow_cycle % 12;

  running_decade(n, male, h);
  if (male) {
    for (const ZiWeiPalace& palace : z.palaces) {
      bool found = false;
      for (int age : palace.small_limit_ages) found = found || age == h.nominal_age;
      if (found) {
        h.small_limit = palace.branch;
        break;
      }
    }
  }
  h.yearly = n.period(flow_branch, flow_stem, flow_branch);
  h.suiqian = year_gods(kSuiqian, flow_branch);
  h.jiangqian = year_gods(kJiangqian, kJiangqianStart[static_cast<size_t>(flow_branch % 4)]);

  if (flow_day) {
    const int flow_month = effective_month(flow_day->month, flow_day->leap, flow_day->day, split);
    const int month_branch = wrap(n.hour - n.month + flow_month + flow_branch, 12);
    h.monthly = n.period(month_branch, (2 * (flow_stem % 5) + 2 + flow_month - 1) % 10,
                         wrap(flow_month + 1, 12));
    const int dc = day_cycle(flow_day_number);
    h.daily = n.period(wrap(int64_t{flow_day->day} + month_branch - 1, 12), dc % 10, dc % 12);
  }
  return h;
}

}  // namespace

int zi_wei_branch(int bureau, int day) {
  const int q = (bureau + day - 1) / bureau;
  const int r = q * bureau - day;
  return r % 2 == 0 ? wrap(q + 1 + r, 12) : wrap(q + 1 - r, 12);
}

Expected<ZiWei, EngineError> zi_wei(const ChineseCalendar& calendar, UtcInstant moment,
                                    const ZiWeiOptions& options, double longitude,
                                    double utc_offset_minutes) {
  const auto split = split_leap_months(options);
  if (!split) return unexpected(split.error());
  auto sex = read_sex(options.sex);
  if (!sex) return unexpected(std::move(sex.error()));
  const std::optional<bool> male = *sex;

  BaziOptions birth_options;
  birth_options.solar_time = options.solar_time;
  birth_options.zi_hour = options.zi_hour;
  auto birth = bazi(calendar, moment, birth_options, longitude, utc_offset_minutes);
  if (!birth) return unexpected(std::move(birth.error()));
  if (!birth->lunar_date) return unexpected(invalid("the calendar does not cover the birth date"));
  const LunarDate& date = *birth->lunar_date;
  const Natal n = natal_of(date, birth->hour.branch_index(), *split, male);

  ZiWei out;
  out.time_basis = birth->time_basis;
  out.zi_hour = birth->zi_hour;
  out.lunar_date = date;
  out.month = n.month;
  out.hour_branch = kBranches[static_cast<size_t>(n.hour)];
  out.life_palace = kBranches[static_cast<size_t>(n.life)];
  out.body_palace = kBranches[static_cast<size_t>(n.body)];
  out.bureau = {n.bureau.element, n.bureau.number};
  out.life_master = kLifeMasters[static_cast<size_t>(n.life)];
  out.body_master = kBodyMasters[static_cast<size_t>(n.year_branch % 6)];
  const std::vector<MinorStar> minor = place_minor_stars(n, static_cast<int>(date.day), n.body);
  for (int k = 0; k < 12; ++k) out.palaces.push_back(palace_of(n, k, minor, male));
  out.transformations = n.transformations(n.year_stem);
  if (n.forward) out.decade_direction = *n.forward ? "forward" : "backward";

  if (!options.year && !options.date) return out;
  auto horoscope = horoscope_of(n, out, date.year, options, *split, male);
  if (!horoscope) return unexpected(std::move(horoscope.error()));
  out.horoscope = std::move(horoscope).value();
  return out;
}

void write(RecordWriter& out, const Bureau& b) {
  ObjectWriter(out).field("element", b.element).field("number", b.number);
}

void write(RecordWriter& out, const ZiWeiStar& s) {
  ObjectWriter(out)
      .field("star", s.star)
      .field("kind", s.kind)
      .field("brightness", s.brightness)
      .field("transformation", s.transformation);
}

void write(RecordWriter& out, const ZiWeiTransformation& t) {
  ObjectWriter(out).field("kind", t.kind).field("star", t.star).field("palace", t.palace);
}

void write(RecordWriter& out, const AgeRange& r) {
  ObjectWriter(out).field("start", r.start).field("end", r.end);
}

void write(RecordWriter& out, const ZiWeiGods& g) {
  ObjectWriter(out)
      .field("life_stage", g.life_stage)
      .field("boshi", g.boshi)
      .field("suiqian", g.suiqian)
      .field("jiangqian", g.jiangqian);
}

void write(RecordWriter& out, const ZiWeiPalace& p) {
  ObjectWriter(out)
      .field("name", p.name)
      .field("branch", p.branch)
      .field("stem", p.stem)
      .field("is_body", p.is_body)
      .field("stars", p.stars)
      .field("decade", p.decade)
      .field("small_limit_ages", p.small_limit_ages)
      .field("minor_stars", p.minor_stars)
      .field("gods", p.gods)
      .field("flying", p.flying);
}

void write(RecordWriter& out, const ZiWeiGod& g) {
  ObjectWriter(out).field("god", g.god).field("branch", g.branch);
}

void write(RecordWriter& out, const ZiWeiFlowStar& s) {
  ObjectWriter(out).field("star", s.star).field("branch", s.branch);
}

void write(RecordWriter& out, const ZiWeiPeriod& p) {
  ObjectWriter(out)
      .field("branch", p.branch)
      .field("stem", p.stem)
      .field("palaces", p.palaces)
      .field("transformations", p.transformations)
      .field("stars", p.stars);
}

void write(RecordWriter& out, const ZiWeiHoroscope& h) {
  ObjectWriter(out)
      .field("year", h.year)
      .field("nominal_age", h.nominal_age)
      .field("decade", h.decade)
      .field("childhood", h.childhood)
      .field("small_limit", h.small_limit)
      .field("yearly", h.yearly)
      .field("suiqian", h.suiqian)
      .field("jiangqian", h.jiangqian)
      .field("date", h.date)
      .field("lunar_date", h.lunar_date)
      .field("monthly", h.monthly)
      .field("daily", h.daily);
}

void write(RecordWriter& out, const ZiWei& z) {
  ObjectWriter(out)
      .field("time_basis", z.time_basis)
      .field("zi_hour", z.zi_hour)
      .field("lunar_date", z.lunar_date)
      .field("month", z.month)
      .field("hour_branch", z.hour_branch)
      .field("life_palace", z.life_palace)
      .field("body_palace", z.body_palace)
      .field("bureau", z.bureau)
      .field("life_master", z.life_master)
      .field("body_master", z.body_master)
      .field("palaces", z.palaces)
      .field("transformations", z.transformations)
      .field("decade_direction", z.decade_direction)
      .field("horoscope", z.horoscope);
}

}  // namespace quorvane::chinese
