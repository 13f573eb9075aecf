// The almanac with the fitted Sun-up test (guided to each crossing, and
// asking every point) beside the exact one, in the same run and
// interleaved call by call: one solar day (`rise_set`) at
// random moments and places, and the sun events of 95 days
// (`SunEvents::find`). Prints medians of the thread's CPU time (wall time
// on a shared machine stretches long calls more than short ones), their
// ratio, and how many exact Sun-up tests (and exact evaluations for the
// fits) each path makes.
//
//   sun_track_bench --kernel=/path/to/de440.bsp [--days=400] [--spans=9]

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "quorvane/astronomy/almanac.hpp"
#include "quorvane/astronomy/sun_track.hpp"
#include "quorvane/time/time_scales.hpp"

namespace {

using namespace quorvane;

double tt_of_ut(double jd) {
  const Time t = Time::from_ut1(jd);
  return t.whole + t.tt_fraction;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

double thread_cpu_ms() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

template <class F>
double millis(F&& f) {
  const double start = thread_cpu_ms();
  f();
  return thread_cpu_ms() - start;
}

struct Counts {
  double exact_tests = 0.0;
  double fitted_exact_tests = 0.0;
  double fits = 0.0;
};

// Sun-up tests a search over TT a..b makes on each path.
Counts count_tests(const Kernel& kernel, const SurfaceObserver& site, double a, double b) {
  Counts c;
  long calls = 0;
  auto counted = [&](double tt) {
    ++calls;
    return sun_is_up(kernel, site, tt);
  };
  (void)find_transitions(a, b, counted);
  c.exact_tests = static_cast<double>(calls);
  FastSunUp fitted(kernel, site, a, b);
  (void)find_transitions(a, b, std::ref(fitted));
  c.fitted_exact_tests = static_cast<double>(fitted.exact_tests());
  c.fits = std::max(1.0, std::ceil((b - a) / 3.25));
  return c;
}

}  // namespace

int main(int argc, char** argv) {
  std::string path;
  int days = 400, spans = 9;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--kernel=", 9) == 0) path = argv[i] + 9;
    if (std::strncmp(argv[i], "--days=", 7) == 0) days = std::atoi(argv[i] + 7);
    if (std::strncmp(argv[i], "--spans=", 8) == 0) spans = std::atoi(argv[i] + 8);
  }
  if (path.empty()) {
    std::fprintf(stderr, "usage: %s --kernel=PATH [--days=N] [--spans=N]\n", argv[0]);
    return 2;
  }
  auto loaded = KernelSet::load({path});
  if (!loaded) {
    std::fprintf(stderr, "%s\n", loaded.error().c_str());
    return 1;
  }
  const KernelSet& kernels = *loaded;
  const Kernel& kernel = kernels.kernels().front();

  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<double> fitted_ms, scan_ms, exact_ms;
  Counts total;
  for (int i = 0; i < days; ++i) {
    const double jd = 2305448.0 + unit(rng) * 365250.0;  // 1600 to 2600
    const double lat = -60.0 + 120.0 * unit(rng), lon = -180.0 + 360.0 * unit(rng);
    SolarDayTriple a{}, b{}, c{};
    // Alternate which path goes first, so neither always finds the caches warm.
    const auto fitted = [&] { a = *rise_set(kernels, jd, lat, lon); };
    const auto exact = [&] { b = *rise_set(kernels, jd, lat, lon, SunUpMethod::exact); };
    const auto scan = [&] { c = *rise_set(kernels, jd, lat, lon, SunUpMethod::fitted_scan); };
    if (i % 2) {
      fitted_ms.push_back(millis(fitted));
      scan_ms.push_back(millis(scan));
      exact_ms.push_back(millis(exact));
    } else {
      exact_ms.push_back(millis(exact));
      scan_ms.push_back(millis(scan));
      fitted_ms.push_back(millis(fitted));
    }
    if (a != b || a != c) std::printf("DIFFERENT solar day at jd %.9f %.4f %.4f\n", jd, lat, lon);
    if (i < 100) {
      const Counts c = count_tests(kernel, SurfaceObserver::at(lat, lon), tt_of_ut(jd - 1.5), tt_of_ut(jd + 1.5));
      total.exact_tests += c.exact_tests;
      total.fitted_exact_tests += c.fitted_exact_tests;
      total.fits += c.fits;
    }
  }
  const double n = std::min(days, 100);
  std::printf("rise_set, %d solar days (1600-2600, |lat| <= 60):\n", days);
  std::printf("  fitted %.4f ms, fitted asking every point %.4f ms, exact %.4f ms (medians), exact / fitted %.1f\n",
              median(fitted_ms), median(scan_ms), median(exact_ms), median(exact_ms) / median(fitted_ms));
  std::printf("  Sun-up tests per solar day: exact path %.1f; fitted path %.2f exact tests plus %.1f x %d "
              "exact evaluations for its fit\n",
              total.exact_tests / n, total.fitted_exact_tests / n, total.fits / n, SunTrack::kNodes);

  std::vector<double> fitted_span, exact_span;
  Counts span_counts;
  for (int i = 0; i < spans; ++i) {
    const double start = 2460310.5 + 97.0 * i;  // 2024 onwards, London
    const auto fitted = [&] { (void)SunEvents::find(kernels, start, start + 95.0, 51.5074, -0.1278); };
    const auto exact = [&] {
      (void)SunEvents::find(kernels, start, start + 95.0, 51.5074, -0.1278, SunUpMethod::exact);
    };
    fitted_span.push_back(millis(fitted));
    exact_span.push_back(millis(exact));
    if (i == 0) span_counts = count_tests(kernel, SurfaceObserver::at(51.5074, -0.1278), tt_of_ut(start), tt_of_ut(start + 95.0));
  }
  std::printf("SunEvents::find over 95 days (London), %d spans:\n", spans);
  std::printf("  fitted %.3f ms, exact %.3f ms (medians), exact / fitted %.1f\n", median(fitted_span),
              median(exact_span), median(exact_span) / median(fitted_span));
  std::printf("  Sun-up tests: exact path %.0f; fitted path %.0f exact tests plus %.0f x %d exact evaluations\n",
              span_counts.exact_tests, span_counts.fitted_exact_tests, span_counts.fits, SunTrack::kNodes);
  return 0;
}
