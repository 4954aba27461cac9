// Background filters on a 1024 x 768 picture: each filter alone at a
// typical amount, and all of them at once, as a page redraws its background
// after an appearance action.

#include "player/assets/background.h"

#include <benchmark/benchmark.h>

#include <functional>
#include <random>

namespace {

using morvane::ApplyBackgroundFilters;
using morvane::BackgroundFilters;

QImage Picture() {
  QImage image(1024, 768, QImage::Format_ARGB32);
  std::mt19937 random(7);
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) line[x] = random() | 0xff000000u;
  }
  return image;
}

void Filter(benchmark::State& state, std::function<void(BackgroundFilters&)> set) {
  const QImage picture = Picture();
  BackgroundFilters filters;
  set(filters);
  for (auto _ : state) {
    QImage out = ApplyBackgroundFilters(picture, filters);
    benchmark::DoNotOptimize(out.constBits());
  }
  state.SetItemsProcessed(state.iterations() * picture.width() * picture.height());
}

BENCHMARK_CAPTURE(Filter, lightness, [](BackgroundFilters& f) {
  f.lightness = 40;
})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Filter, blur_5, [](BackgroundFilters& f) {
  f.blur = 5;
})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Filter, blur_50, [](BackgroundFilters& f) {
  f.blur = 50;
})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Filter, contrast, [](BackgroundFilters& f) {
  f.contrast = 30;
})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Filter, saturation, [](BackgroundFilters& f) {
  f.saturation = -30;
})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Filter, sharpen, [](BackgroundFilters& f) {
  f.sharpen = 10;
})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Filter, sponge, [](BackgroundFilters& f) {
  f.sponge = 5;
})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Filter, grey_flip_invert, [](BackgroundFilters& f) {
  f.grayscale = f.flip_vertical = f.invert = true;
})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Filter, emboss, [](BackgroundFilters& f) {
  f.emboss = true;
})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Filter, everything, [](BackgroundFilters& f) {
  f = {40, 5, 30, -30, 10, 5, true, true, true, true, true};
})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
