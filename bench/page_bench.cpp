// Painting the report page of four overlaid tests of the longest length into a
// 1920 x 1080 image: one polyline per curve, beside one call per segment.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPrinter>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <memory>

#include "app/kel_context.h"
#include "app/kel_doc.h"
#include "display/report_drawing.h"
#include "ui/kel_view.h"
#include "tools/demo_set.h"
#include "qt/page_render.h"
#include "ui/recall_dialog.h"

#include <QItemSelectionModel>
#include <QTreeWidget>
#include <filesystem>
#include "qt/qt_drawing_surface.h"
#include "testfile/kel_file.h"
#include "testfile/kel_format.h"

namespace {

std::unique_ptr<CKELFile[]> FourLongestTests()
{
    auto records = std::make_unique<CKELFile[]>(4);
    for (int r = 0; r < 4; ++r) {
        CKELFile& test = records[r];
        test.testType = 3;
        test.sampleCount = kel::kMaxSamples;
        test.currents = std::make_unique<float[]>(kel::kMaxSamples);
        test.resistances = std::make_unique<float[]>(kel::kMaxSamples);
        for (int k = 0; k < kel::kMaxSamples; ++k) {
            // A rising resistance with some noise, so that neighbouring points differ.
            const double ohms = 1e9 * (r + 1) * std::pow(k + 1.0, 0.4) * (1.0 + 0.05 * std::sin(k * 0.7));
            test.resistances[k] = static_cast<float>(ohms);
            test.currents[k] = static_cast<float>(1000.0 / ohms);
        }
    }
    return records;
}

// The same surface, but every curve handed over one segment at a time.
class SegmentSurface : public platform::QtDrawingSurface {
public:
    using QtDrawingSurface::QtDrawingSurface;
    void Polyline(const platform::Point* points, int count) override
    {
        DrawingSurface::Polyline(points, count);
    }
};

template <typename Surface>
void PaintPage(benchmark::State& state)
{
    static const auto records = FourLongestTests();
    QImage image(1920, 1080, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        Surface surface(painter, image.size());
        CDisplayTest display;
        display.Prepare(&surface, records.get(), 4, 0);
        display.DrawPage({0, 0, 1920, 1080}, 0, 1);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_PaintFourLongestTests(benchmark::State& state)
{
    PaintPage<platform::QtDrawingSurface>(state);
}
BENCHMARK(BM_PaintFourLongestTests)->Unit(benchmark::kMillisecond);

void BM_PaintFourLongestTestsPerSegment(benchmark::State& state)
{
    PaintPage<SegmentSurface>(state);
}
BENCHMARK(BM_PaintFourLongestTestsPerSegment)->Unit(benchmark::kMillisecond);

// The view itself: a synchronous repaint of the window's page.
void BM_ViewRepaintFourLongestTests(benchmark::State& state)
{
    static const auto records = FourLongestTests();
    CKELTestList catalogue;
    auto document = std::make_unique<CKelDoc>(catalogue);
    for (int r = 0; r < 4; ++r) {
        document->records[r].sampleCount = records[r].sampleCount;
        document->records[r].testType = 3;
        document->records[r].currents = std::make_unique<float[]>(kel::kMaxSamples);
        document->records[r].resistances = std::make_unique<float[]>(kel::kMaxSamples);
        std::copy(records[r].currents.get(), records[r].currents.get() + kel::kMaxSamples,
                  document->records[r].currents.get());
        std::copy(records[r].resistances.get(), records[r].resistances.get() + kel::kMaxSamples,
                  document->records[r].resistances.get());
    }
    document->recordCount = 4;
    document->testOpen = 1;
    QPrinter printer;
    CKelView view(document.get(), &printer);
    view.resize(1920, 1080);
    QImage target(1920, 1080, QImage::Format_RGB32);
    int painted = 0;
    for (auto _ : state) {
        // render() runs the view's paintEvent into the image, as an expose does on screen.
        view.afterFirstPage = [&painted] { ++painted; };
        view.render(&target);
    }
    if (painted != static_cast<int>(state.iterations())) state.SkipWithError("the view did not paint");
}
BENCHMARK(BM_ViewRepaintFourLongestTests)->Unit(benchmark::kMillisecond);

// A folder of 500 test files of ten minutes each, made once; the bench runs in it.
void EnterFolderOf500()
{
    static const std::filesystem::path folder = [] {
        const auto path = std::filesystem::temp_directory_path() / "kel7300-bench-recall";
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
        const auto bytes = TestFileBytes(MakeDemoTests()[2].stream);  // the ten-minute PI test
        for (int i = 1; i <= 500; ++i) {
            FILE* file = std::fopen((path / ("Test" + std::to_string(i) + ".kel")).string().c_str(), "wb");
            std::fwrite(bytes.data(), 1, bytes.size(), file);
            std::fclose(file);
        }
        return path;
    }();
    std::filesystem::current_path(folder);
}

// The Recall Test dialog opening: the folder's catalogue read and listed, the dialog painted once.
void BM_RecallDialogOpensOn500Files(benchmark::State& state)
{
    EnterFolderOf500();
    platform::Services services;
    KelContext context(services);
    for (auto _ : state) {
        COpenTestDlg dialog(context);
        dialog.OnInitDialog();
        QImage image(dialog.size(), QImage::Format_RGB32);
        dialog.render(&image);
        if (dialog.fileList->topLevelItemCount() != 500) state.SkipWithError("not 500 rows");
    }
}
BENCHMARK(BM_RecallDialogOpensOn500Files)->Unit(benchmark::kMillisecond);

// Selecting a row: the full load of its test and both previews drawn.
void BM_RecallSelectRow(benchmark::State& state)
{
    EnterFolderOf500();
    platform::Services services;
    KelContext context(services);
    COpenTestDlg dialog(context);
    dialog.OnInitDialog();
    QWidget* previews[] = {dialog.GetDlgItem(resources::IDC_RESISTANCE_PREVIEW), dialog.GetDlgItem(resources::IDC_CURRENT_PREVIEW)};
    QImage image(previews[0]->size(), QImage::Format_RGB32);
    int row = 0;
    for (auto _ : state) {
        dialog.fileList->selectionModel()->select(dialog.fileList->model()->index(row++ % 500, 0),
                                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        for (QWidget* preview : previews) preview->render(&image);
    }
    if (!dialog.previewLoaded) state.SkipWithError("no preview");
}
BENCHMARK(BM_RecallSelectRow)->Unit(benchmark::kMillisecond);

// A report of 50 tests in one PDF (the demo set's seven tests in turn), each
// alone on an A4 sheet at 600 dpi, as kel7300-cli report prints it.
void BM_ReportPdfOf50Tests(benchmark::State& state)
{
    EnterFolderOf500();
    const std::vector<DemoTest> demo = MakeDemoTests();
    std::vector<std::string> files;
    for (int i = 0; i < 50; ++i) {
        const DemoTest& test = demo[static_cast<std::size_t>(i) % demo.size()];
        const std::string path = "report" + std::to_string(i) + ".kel";
        const auto bytes = TestFileBytes(test.stream);
        FILE* file = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        files.push_back(path);
    }
    const std::string pdf = (std::filesystem::temp_directory_path() / "kel7300-bench-report.pdf").string();
    for (auto _ : state) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setResolution(600);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(pdf));
        printer.setPageOrientation(QPageLayout::Landscape);
        const bool ok = PrintEachTest(printer, 50, [&](int i, CKELFile& record) {
            return record.Load(files[static_cast<std::size_t>(i)], 1).Ok();
        });
        if (!ok) state.SkipWithError("the report failed");
    }
    state.counters["bytes_written"] = static_cast<double>(std::filesystem::file_size(pdf));
}
BENCHMARK(BM_ReportPdfOf50Tests)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
