#include "quorvane/traditional/dignities.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace quorvane;
using Names = std::vector<std::string_view>;

constexpr std::string_view kPlanets[] = {"Saturn", "Jupiter", "Mars", "Sun",
                                         "Venus",  "Mercury", "Moon"};
constexpr std::string_view kStarPlanets[] = {"Saturn", "Jupiter", "Mars", "Venus", "Mercury"};

int chaldean_index(std::string_view planet) {
  for (int i = 0; i < 7; ++i) {
    if (kChaldeanOrder[i] == planet) return i;
  }
  return -1;
}

Names triplicity_of(DignityScheme scheme, double longitude) {
  const auto lords = lords_at(scheme, longitude);
  return Names(lords.triplicity.begin(), lords.triplicity.end());
}

TEST(DignityScheme, CodesAreTrimmedAndCaseFolded) {
  EXPECT_EQ(DignityScheme::from_code("  Dorotheus \t"), DignityScheme::Dorothean);
  EXPECT_EQ(DignityScheme::from_code("EGYPTIAN"), DignityScheme::Dorothean);
  EXPECT_EQ(DignityScheme::from_code("dorothean"), DignityScheme::Dorothean);
  EXPECT_EQ(DignityScheme::from_code("ptolemaic"), DignityScheme::Lilly);
  EXPECT_EQ(DignityScheme::from_code(""), DignityScheme::Lilly);
  EXPECT_EQ(DignityScheme::from_code("dorothean-ish"), DignityScheme::Lilly);
  EXPECT_EQ(DignityScheme(DignityScheme::Dorothean).name(), "dorothean");
  EXPECT_EQ(DignityScheme(DignityScheme::Lilly).name(), "lilly");
}

// The tables are typed in by hand; these are the traditional structures they
// must keep, so a slip in one entry shows up.
TEST(DignityTables, DomicilesRadiateFromTheLights) {
  EXPECT_EQ(domicile_ruler(3), "Moon");
  EXPECT_EQ(domicile_ruler(4), "Sun");
  // Outward from Cancer and Leo the planets follow in order of their spheres.
  const std::string_view outward[] = {"Mercury", "Venus", "Mars", "Jupiter", "Saturn"};
  for (int k = 1; k <= 5; ++k) {
    EXPECT_EQ(domicile_ruler(3 - k), outward[k - 1]) << k;
    EXPECT_EQ(domicile_ruler(4 + k), outward[k - 1]) << k;
  }
  EXPECT_EQ(domicile_ruler(-1), "Jupiter");
  EXPECT_EQ(domicile_ruler(12), "Mars");
}

TEST(DignityTables, EachPlanetIsExaltedOnce) {
  std::map<std::string_view, int> count;
  for (const SignRulers& s : kSignRulers) {
    if (!s.exaltation.empty()) ++count[s.exaltation];
  }
  ASSERT_EQ(count.size(), 7u);
  for (std::string_view planet : kPlanets) EXPECT_EQ(count[planet], 1) << planet;
  // A planet is never exalted where it is in detriment.
  for (int s = 0; s < 12; ++s) {
    EXPECT_NE(kSignRulers[s].exaltation, domicile_ruler(s + 6)) << s;
  }
}

TEST(DignityTables, TriplicitiesCoverTheElementsOfTheSigns) {
  for (const auto* rows : {&kLillyTriplicities, &kDorotheanTriplicities}) {
    std::set<std::string_view> elements;
    for (const TriplicityRow& row : *rows) elements.insert(row.element);
    for (const SignInfo& sign : kSigns) EXPECT_TRUE(elements.count(sign.element)) << sign.name;
    EXPECT_EQ(elements.size(), 4u);
  }
  for (int i = 0; i < 4; ++i) {
    const TriplicityRow& lilly = kLillyTriplicities[i];
    const TriplicityRow& dorothean = kDorotheanTriplicities[i];
    EXPECT_EQ(lilly.element, dorothean.element);
    EXPECT_TRUE(lilly.lords[2].empty());
    EXPECT_FALSE(dorothean.lords[2].empty());
    for (std::string_view lord : dorothean.lords) EXPECT_GE(chaldean_index(lord), 0) << lord;
    // The schemes agree on fire, earth and air and part only in water.
    if (lilly.element != "Water") {
      EXPECT_EQ(lilly.lords[0], dorothean.lords[0]);
      EXPECT_EQ(lilly.lords[1], dorothean.lords[1]);
    }
  }
}

TEST(DignityTables, BoundsFillEachSignWithTheFiveStarPlanets) {
  for (const auto* table : {&kLillyBounds, &kDorotheanBounds}) {
    for (size_t s = 0; s < 12; ++s) {
      const BoundRow& row = (*table)[s];
      std::set<std::string_view> lords;
      int previous = 0;
      for (const Bound& b : row) {
        EXPECT_GT(b.end, previous) << s;
        previous = b.end;
        lords.insert(b.lord);
      }
      EXPECT_EQ(previous, 30) << s;
      EXPECT_EQ(lords, std::set<std::string_view>(std::begin(kStarPlanets), std::end(kStarPlanets)))
          << s;
    }
  }
}

TEST(DignityTables, EgyptianBoundsAddUpToTheGreaterYears) {
  // Each planet's Egyptian bounds total its "greater years" (Tetrabiblos I.20):
  // Saturn 57, Jupiter 79, Mars 66, Venus 82, Mercury 76.
  std::map<std::string_view, int> total;
  for (const BoundRow& row : kDorotheanBounds) {
    int start = 0;
    for (const Bound& b : row) {
      total[b.lord] += b.end - start;
      start = b.end;
    }
  }
  EXPECT_EQ(total["Saturn"], 57);
  EXPECT_EQ(total["Jupiter"], 79);
  EXPECT_EQ(total["Mars"], 66);
  EXPECT_EQ(total["Venus"], 82);
  EXPECT_EQ(total["Mercury"], 76);
}

TEST(DignityTables, FacesRunThroughTheChaldeanOrderWithoutABreak) {
  EXPECT_EQ(face_lord(0, 0), "Mars");
  EXPECT_EQ(face_lord(0, 1), "Sun");
  EXPECT_EQ(face_lord(0, 2), "Venus");
  EXPECT_EQ(face_lord(1, 0), "Mercury");
  EXPECT_EQ(face_lord(11, 2), "Mars");
  for (int decan = 1; decan < 36; ++decan) {
    const int previous = chaldean_index(face_lord((decan - 1) / 3, (decan - 1) % 3));
    EXPECT_EQ(chaldean_index(face_lord(decan / 3, decan % 3)), (previous + 1) % 7) << decan;
  }
}

TEST(DignityLookups, BySignName) {
  EXPECT_EQ(traditional_ruler("Aquarius"), "Saturn");
  EXPECT_EQ(exaltation("Virgo"), "Mercury");
  EXPECT_EQ(exaltation("Leo"), std::nullopt);
  EXPECT_EQ(element("Scorpio"), "Water");
  EXPECT_EQ(traditional_ruler("aries"), std::nullopt);
  EXPECT_EQ(exaltation("Ophiuchus"), std::nullopt);
  EXPECT_EQ(element(""), std::nullopt);
  EXPECT_EQ(sign_from_name("Pisces"), 11);

  EXPECT_TRUE(is_debilitated("Saturn", "Aries"));   // fall
  EXPECT_TRUE(is_debilitated("Venus", "Aries"));    // detriment
  EXPECT_FALSE(is_debilitated("Sun", "Gemini"));
  EXPECT_TRUE(is_debilitated("Sun", "Libra"));      // fall
  EXPECT_FALSE(is_debilitated("Mars", "Aries"));
  EXPECT_FALSE(is_debilitated("Saturn", "Nowhere"));
  // Leo's opposite has no exaltation: an empty name must not match it.
  EXPECT_FALSE(is_debilitated("", "Leo"));
}

TEST(DignityPlace, SignDegreeAndDecan) {
  ZodiacPlace p = place_of(-0.5);
  EXPECT_EQ(p.sign, 11);
  EXPECT_DOUBLE_EQ(p.degree, 29.5);
  EXPECT_EQ(p.decan, 2);
  for (double x : {0.0, -0.0, 360.0, 720.0}) {
    p = place_of(x);
    EXPECT_EQ(p.sign, 0) << x;
    EXPECT_EQ(p.degree, 0.0) << x;
  }
  p = place_of(30.0);
  EXPECT_EQ(p.sign, 1);
  EXPECT_EQ(p.degree, 0.0);
  // Just below 360 stays in Pisces rather than spilling into a 13th sign.
  p = place_of(std::nextafter(360.0, 0.0));
  EXPECT_EQ(p.sign, 11);
  EXPECT_LT(p.degree, 30.0);
  p = place_of(std::nextafter(60.0, 0.0));
  EXPECT_EQ(p.sign, 1);
  EXPECT_EQ(p.decan, 2);
  EXPECT_EQ(place_of(110.0).decan, 2);
  EXPECT_EQ(place_of(100.0).decan, 1);
  EXPECT_EQ(place_of(std::nan("")).sign, 0);
}

TEST(DignityLords, EdgesOfBoundsAndFaces) {
  // -0.5 is 29.5° Pisces: Saturn's bound under both schemes, Mars' face.
  for (DignityScheme scheme : {DignityScheme::Lilly, DignityScheme::Dorothean}) {
    DignityLords lords = lords_at(scheme, -0.5);
    EXPECT_EQ(lords.domicile, "Jupiter");
    EXPECT_EQ(lords.exaltation, "Venus");
    EXPECT_EQ(lords.bound, "Saturn");
    EXPECT_EQ(lords.face, "Mars");
    for (double x : {360.0, 720.0}) {
      lords = lords_at(scheme, x);
      EXPECT_EQ(lords.bound, "Jupiter");
      EXPECT_EQ(lords.face, "Mars");
    }
    // A bound's end degree already belongs to the next bound.
    EXPECT_EQ(lords_at(scheme, 6.0).bound, "Venus");
    EXPECT_EQ(lords_at(scheme, std::nextafter(6.0, 0.0)).bound, "Jupiter");
  }
  EXPECT_EQ(lords_at(DignityScheme::Lilly, 13.9).bound, "Venus");
  EXPECT_EQ(lords_at(DignityScheme::Lilly, 14.0).bound, "Mercury");
  EXPECT_EQ(lords_at(DignityScheme::Dorothean, 12.0).bound, "Mercury");
  // Exactly 10° and 20° into a sign start the second and third faces.
  EXPECT_EQ(lords_at(DignityScheme::Lilly, 40.0).face, face_lord(1, 1));
  EXPECT_EQ(lords_at(DignityScheme::Lilly, 50.0).face, face_lord(1, 2));
  EXPECT_EQ(lords_at(DignityScheme::Lilly, std::nextafter(50.0, 0.0)).face, face_lord(1, 1));

  EXPECT_EQ(lords_at(DignityScheme::Lilly, 130.0).exaltation, std::nullopt);
  EXPECT_EQ(triplicity_of(DignityScheme::Lilly, 130.0), (Names{"Sun", "Jupiter"}));
  EXPECT_EQ(triplicity_of(DignityScheme::Dorothean, 130.0), (Names{"Sun", "Jupiter", "Saturn"}));
  EXPECT_EQ(triplicity_of(DignityScheme::Lilly, 350.0), (Names{"Mars", "Mars"}));
  EXPECT_EQ(triplicity_of(DignityScheme::Dorothean, 350.0), (Names{"Venus", "Mars", "Moon"}));
}

TEST(DignityLords, JsonKeysAndNulls) {
  const Json lords = to_json_tree(lords_at(DignityScheme::Dorothean, 100.0));
  EXPECT_EQ(lords.dump(),
            R"({"domicile":"Moon","exaltation":"Jupiter","triplicity":["Venus","Mars","Moon"],)"
            R"("bound":"Venus","face":"Mercury"})");
  EXPECT_TRUE(to_json_tree(lords_at(DignityScheme::Lilly, 70.0))["exaltation"].is_null());
}

TEST(DignitiesOf, NamesInFixedOrderWhateverTheSect) {
  EXPECT_EQ(dignities_of("Saturn", DignityScheme::Dorothean, 100.0), Names{});
  EXPECT_EQ(dignities_of("Venus", DignityScheme::Dorothean, 100.0),
            (Names{"triplicity", "bound"}));
  // Mercury at 5° Virgo: its domicile, its exaltation and its own bound.
  EXPECT_EQ(dignities_of("Mercury", DignityScheme::Lilly, 155.0),
            (Names{"domicile", "exaltation", "bound"}));
  EXPECT_EQ(dignities_of("Moon", DignityScheme::Lilly, 100.0), (Names{"domicile"}));
  EXPECT_EQ(dignities_of("Sun", DignityScheme::Lilly, 130.0), (Names{"domicile", "triplicity"}));
  // The night lord counts as much as the day lord here.
  EXPECT_EQ(dignities_of("Jupiter", DignityScheme::Lilly, 5.0), (Names{"triplicity", "bound"}));
  EXPECT_EQ(dignities_of("Pluto", DignityScheme::Lilly, 100.0), Names{});
  EXPECT_EQ(dignities_of("", DignityScheme::Lilly, 130.0), Names{});
}

TEST(EssentialDignity, WorkedScores) {
  // Mars at 27° Capricorn by day: exalted only (Saturn's bound, the Sun's face).
  EssentialDignity e = essential_dignity("Mars", DignityScheme::Lilly, 297.0, true);
  EXPECT_TRUE(e.exaltation);
  EXPECT_FALSE(e.domicile || e.triplicity || e.bound || e.face || e.detriment || e.fall);
  EXPECT_FALSE(e.peregrine);
  EXPECT_EQ(e.score, 4);

  // Saturn at 10° Aries by night: peregrine and in fall.
  e = essential_dignity("Saturn", DignityScheme::Lilly, 10.0, false);
  EXPECT_TRUE(e.peregrine);
  EXPECT_TRUE(e.fall);
  EXPECT_FALSE(e.detriment);
  EXPECT_EQ(e.score, -9);

  // No dignity and no debility.
  e = essential_dignity("Jupiter", DignityScheme::Lilly, 35.0, true);
  EXPECT_TRUE(e.peregrine);
  EXPECT_EQ(e.score, -5);

  // Venus at 2° Aries: detriment and no dignity (Jupiter's bound, Mars' face).
  e = essential_dignity("Venus", DignityScheme::Lilly, 2.0, true);
  EXPECT_TRUE(e.detriment && e.peregrine);
  EXPECT_EQ(e.score, -10);

  // Sun at 10° Leo by day: domicile and day triplicity.
  e = essential_dignity("Sun", DignityScheme::Lilly, 130.0, true);
  EXPECT_EQ(e.score, 8);
  e = essential_dignity("Sun", DignityScheme::Lilly, 130.0, false);
  EXPECT_FALSE(e.triplicity);
  EXPECT_EQ(e.score, 5);

  // A dignity and a debility at once: Mercury in Pisces at 15° (Lilly's
  // Mercury bound 14°-20°) is in detriment and fall yet not peregrine.
  e = essential_dignity("Mercury", DignityScheme::Lilly, 345.0, true);
  EXPECT_TRUE(e.bound && e.detriment && e.fall && !e.peregrine);
  EXPECT_EQ(e.score, 2 - 5 - 4);
  EXPECT_EQ(to_json_tree(e)["lords"]["bound"], "Mercury");
}

TEST(EssentialDignity, TriplicityFollowsSectAndScheme) {
  // Lilly's water row names Mars day and night.
  EXPECT_TRUE(essential_dignity("Mars", DignityScheme::Lilly, 340.0, true).triplicity);
  EXPECT_TRUE(essential_dignity("Mars", DignityScheme::Lilly, 340.0, false).triplicity);
  // Lilly's fire: Sun by day, Jupiter by night.
  EXPECT_TRUE(essential_dignity("Jupiter", DignityScheme::Lilly, 250.0, false).triplicity);
  EXPECT_FALSE(essential_dignity("Jupiter", DignityScheme::Lilly, 250.0, true).triplicity);
  // The Dorothean participating lord counts in either sect.
  EXPECT_TRUE(essential_dignity("Saturn", DignityScheme::Dorothean, 250.0, true).triplicity);
  EXPECT_TRUE(essential_dignity("Saturn", DignityScheme::Dorothean, 250.0, false).triplicity);
  EXPECT_FALSE(essential_dignity("Saturn", DignityScheme::Lilly, 250.0, true).triplicity);
  // The Moon in water is a Dorothean participating lord only.
  EXPECT_TRUE(essential_dignity("Moon", DignityScheme::Dorothean, 100.0, true).triplicity);
  EXPECT_FALSE(essential_dignity("Moon", DignityScheme::Lilly, 100.0, true).triplicity);
}

TEST(EssentialDignity, AgreesWithTheDignityNamesEverywhere) {
  for (DignityScheme scheme : {DignityScheme::Lilly, DignityScheme::Dorothean}) {
    for (std::string_view planet : kPlanets) {
      for (int step = 0; step < 1440; ++step) {
        const double x = step * 0.25;
        const Names names = dignities_of(planet, scheme, x);
        const auto has = [&](std::string_view n) {
          return std::find(names.begin(), names.end(), n) != names.end();
        };
        const EssentialDignity day = essential_dignity(planet, scheme, x, true);
        const EssentialDignity night = essential_dignity(planet, scheme, x, false);
        ASSERT_EQ(day.domicile, has("domicile")) << planet << " " << x;
        ASSERT_EQ(day.exaltation, has("exaltation")) << planet << " " << x;
        ASSERT_EQ(day.bound, has("bound")) << planet << " " << x;
        ASSERT_EQ(day.face, has("face")) << planet << " " << x;
        // Some sect always grants a triplicity lord its dignity.
        ASSERT_EQ(day.triplicity || night.triplicity, has("triplicity")) << planet << " " << x;
        ASSERT_FALSE(day.domicile && day.detriment);
        ASSERT_FALSE(day.exaltation && day.fall);
        ASSERT_EQ(day.detriment, domicile_ruler(place_of(x).sign + 6) == planet);
        ASSERT_EQ(day.detriment || day.fall,
                  is_debilitated(planet, kSigns[place_of(x).sign].name));
      }
    }
  }
}

}  // namespace
