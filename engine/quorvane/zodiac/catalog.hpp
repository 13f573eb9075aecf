// The static catalogues of the chart: the 61 fixed stars with their J2000.0
// ecliptic places, and the 28 lunar mansions.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace quorvane {

struct FixedStar {
  std::string_view name;
  double longitude_j2000;  // tropical ecliptic longitude at J2000.0, degrees
  double latitude;         // ecliptic latitude, degrees
  double magnitude;        // visual
};

// Every star is shown with the same glyph.
inline constexpr std::string_view kStarSymbol = "\u2605";

// Catalogue order is also the output order of a chart's fixed stars.
inline constexpr std::array<FixedStar, 61> kFixedStars{{
    {"Acrux", 221.861, -52.8749, 0.81},
    {"Agena", 233.7828, -44.1347, 0.6},
    {"Alcyone", 59.9929, 4.0512, 2.87},
    {"Aldebaran", 69.7903, -5.4676, 0.86},
    {"Algedi", 303.7604, 6.9886, 4.27},
    {"Algenib", 9.152, 12.6012, 2.84},
    {"Algol", 56.1682, 22.4301, 2.12},
    {"Alhena", 99.1066, -6.7425, 1.92},
    {"Alkes", 173.6874, -22.7142, 4.07},
    {"Alnilam", 83.4659, -24.5071, 1.69},
    {"Alphard", 147.2796, -22.3808, 1.97},
    {"Alphecca", 222.2877, 44.3201, 2.24},
    {"Alpheratz", 14.305, 25.6829, 2.06},
    {"Altair", 301.7663, 29.3045, 0.76},
    {"Antares", 249.7534, -4.5697, 0.91},
    {"Arcturus", 204.2282, 30.7334, -0.05},
    {"Asellus Australis", 128.7232, 0.0772, 3.94},
    {"Asellus Borealis", 127.5397, 3.1904, 4.65},
    {"Baten Kaitos", 21.9475, -20.3365, 3.72},
    {"Bellatrix", 80.9483, -16.8166, 1.64},
    {"Betelgeuse", 88.7566, -16.0273, 0.42},
    {"Bungula", 239.4699, -42.5934, -0.1},
    {"Canopus", 104.9802, -75.8234, -0.74},
    {"Capella", 81.86, 22.865, 0.08},
    {"Castor", 110.2421, 10.0956, 1.58},
    {"Dabih", 304.0382, 4.5888, 3.08},
    {"Deneb Adige", 335.3187, 59.9102, 1.25},
    {"Denebola", 171.6156, 12.2657, 2.13},
    {"Dheneb", 289.7851, 36.1863, 2.99},
    {"Difda", 2.5788, -20.7856, 2.01},
    {"El Nath", 82.5766, 5.3853, 1.65},
    {"Fomalhaut", 333.8527, -21.1373, 1.16},
    {"Graffias", 243.1815, 1.0077, 2.62},
    {"Hamal", 37.6613, 9.966, 2.01},
    {"Kiffa Boreal", 229.3641, 8.4953, 2.62},
    {"Markab", 353.4799, 19.4079, 2.48},
    {"Menkar", 44.3196, -12.5866, 2.53},
    {"Mesarthim", 33.183, 7.1631, 3.88},
    {"Mira", 31.5203, -15.9384, 6.53},
    {"Mirack", 30.4036, 25.9457, 2.05},
    {"Polaris", 88.5777, 66.1026, 2.02},
    {"Polis", 273.2039, 2.3421, 3.85},
    {"Pollux", 113.2175, 6.6841, 1.14},
    {"Praesepe", 127.2032, 1.5633, 3.7},
    {"Prima Hyadum", 65.8067, -5.7326, 3.65},
    {"Procyon", 115.7875, -16.0192, 0.37},
    {"Propus", 93.4381, -0.8881, 3.28},
    {"Rasalgethi", 256.1415, 37.2847, 3.06},
    {"Rastaban", 251.9425, 75.2751, 2.81},
    {"Regulus", 149.829, 0.4648, 1.4},
    {"Rigel", 76.8319, -31.124, 0.13},
    {"Sadalmelek", 333.3451, 10.6624, 2.94},
    {"Scheat", 359.369, 31.1434, 2.42},
    {"Sheratan", 33.9685, 8.488, 2.65},
    {"Sirius", 104.0853, -39.6051, -1.46},
    {"Spica", 203.8361, -2.0543, 0.97},
    {"Triangolo", 36.8597, 16.802, 3.42},
    {"Unukalhai", 232.067, 25.5061, 2.63},
    {"Vega", 285.3003, 61.7333, 0.03},
    {"Vindemiatrix", 189.9364, 16.2034, 2.79},
    {"Zosma", 161.3156, 14.3323, 2.53},
}};

struct LunarMansion {
  uint8_t number;  // 1 to 28
  std::string_view arabic;
  std::string_view name;
  std::string_view sign;
  // Display bounds only: the mansion of a longitude is found by dividing the
  // circle into 28 exact parts, which these rounded figures do not match.
  double degree_start;
  double degree_end;
};

inline constexpr std::array<LunarMansion, 28> kLunarMansions{{
    {1, "Al-Sharatain", "The Two Horns of Aries", "Aries", 0.0, 12.86},
    {2, "Al-Butain", "The Belly of the Ram", "Aries", 12.86, 25.71},
    {3, "Al-Thurayya", "The Many Little Ones (Pleiades)", "Aries - Taurus", 25.71, 38.57},
    {4, "Al-Dabaran", "The Follower (Aldebaran)", "Taurus", 38.57, 51.43},
    {5, "Al-Haq'ah", "The White Spot", "Taurus - Gemini", 51.43, 64.29},
    {6, "Al-Han'ah", "The Brand / The Mark", "Gemini", 64.29, 77.14},
    {7, "Al-Dhira", "The Forearms (Castor & Pollux)", "Gemini - Cancer", 77.14, 90.0},
    {8, "Al-Nathrah", "The Manger (Praesepe)", "Cancer", 90.0, 102.86},
    {9, "Al-Tarf", "The Eye / The Glance", "Cancer - Leo", 102.86, 115.71},
    {10, "Al-Jabhah", "The Forehead of the Lion", "Leo", 115.71, 128.57},
    {11, "Al-Zubrah", "The Mane of the Lion", "Leo", 128.57, 141.43},
    {12, "Al-Sarfah", "The Changer of the Weather", "Leo - Virgo", 141.43, 154.29},
    {13, "Al-Awwa", "The Barker / The Wings", "Virgo", 154.29, 167.14},
    {14, "Al-Simak", "The Unarmed (Spica)", "Virgo - Libra", 167.14, 180.0},
    {15, "Al-Ghafr", "The Covering / The Veil", "Libra", 180.0, 192.86},
    {16, "Al-Zubana", "The Claws of the Scorpion", "Libra - Scorpio", 192.86, 205.71},
    {17, "Al-Iklil", "The Crown of the Scorpion", "Scorpio", 205.71, 218.57},
    {18, "Al-Qalb", "The Heart (Antares)", "Scorpio - Sagittarius", 218.57, 231.43},
    {19, "Al-Shawlah", "The Sting", "Sagittarius", 231.43, 244.29},
    {20, "Al-Na'am", "The Ostriches", "Sagittarius", 244.29, 257.14},
    {21, "Al-Baldah", "The City / The Wasteland", "Sagittarius - Capricorn", 257.14, 270.0},
    {22, "Sa'd al-Dhabih", "The Lucky Star of the Slaughterer", "Capricorn", 270.0, 282.86},
    {23, "Sa'd Bula", "The Fortunate Glutton", "Capricorn - Aquarius", 282.86, 295.71},
    {24, "Sa'd al-Su'ud", "The Luckiest of the Lucky", "Aquarius", 295.71, 308.57},
    {25, "Sa'd al-Akhbiyah", "The Lucky Star of Hidden Things", "Aquarius - Pisces", 308.57, 321.43},
    {26, "Al-Fargh al-Muqdim", "The Upper Spout of the Urn", "Pisces", 321.43, 334.29},
    {27, "Al-Fargh al-Mu'akhkhar", "The Lower Spout of the Urn", "Pisces", 334.29, 347.14},
    {28, "Batn al-Hut", "The Belly of the Fish", "Pisces - Aries", 347.14, 360.0},
}};

// The catalogue entry of a star by exact name, or null.
const FixedStar* find_fixed_star(std::string_view name);

}  // namespace quorvane
