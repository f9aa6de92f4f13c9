// One fade tick's paint of a 4 x 1000 gradient splitter (blend of its two images and the copy
// to the widget) and the rebuild of its images after a resize, against the paint of a plain
// QSplitter handle of the same size, in the same run.
#include "GradSplitter.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QSplitter>
#include <benchmark/benchmark.h>

namespace {

constexpr int BarLength = 1000;

void configure(TGradSplitter& bar) {
    bar.SetThickness(4);
    bar.SetColor(RGBColor(244, 244, 247));
    bar.SetGradientType(gtVertical);
    bar.Colors().SetOverFrom(RGBColor(179, 217, 181));
    bar.Colors().SetOverTo(RGBColor(118, 148, 190));
    bar.resize(4, BarLength);
}

void BM_GradSplitterFadeTickPaint(benchmark::State& state) {
    TGradSplitter bar;
    configure(bar);
    for (int i = 0; i < 5; ++i)
        bar.FadeIn(); // halfway: every byte is blended
    QImage target(4, BarLength, QImage::Format_RGB32);
    for (auto _ : state) {
        bar.render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(BM_GradSplitterFadeTickPaint)->Unit(benchmark::kMicrosecond);

void BM_GradSplitterResizeRebuild(benchmark::State& state) {
    TGradSplitter bar;
    configure(bar);
    for (auto _ : state) {
        bar.RebuildBitmaps();
        benchmark::DoNotOptimize(bar.HoverImage().constBits());
    }
}
BENCHMARK(BM_GradSplitterResizeRebuild)->Unit(benchmark::kMicrosecond);

void BM_QSplitterHandlePaint(benchmark::State& state) {
    QSplitter splitter(Qt::Horizontal);
    splitter.setHandleWidth(4);
    splitter.addWidget(new QLabel(QStringLiteral("left")));
    splitter.addWidget(new QLabel(QStringLiteral("right")));
    splitter.resize(400, BarLength);
    QSplitterHandle* handle = splitter.handle(1);
    handle->resize(4, BarLength);
    QImage target(4, BarLength, QImage::Format_RGB32);
    for (auto _ : state) {
        handle->render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(BM_QSplitterHandlePaint)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
