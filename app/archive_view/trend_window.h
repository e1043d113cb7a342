#pragma once
// A segment's trend: one chart per value over time, each point coloured by
// its judgement, with the OK/BAD limit in force drawn as a dashed line.
#include "archive_view/archive_form.h"

#include <QWidget>

class QChart;
class QChartView;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace ksx4 {

class OperationRunner;
class SaveFolder;
struct ProgramState;

// The chart of one value (owned by the caller).
QChart* makeTrendChart(const TrendChart& chart);

class TrendWindow final : public QWidget, public TrendForm {
  public:
    // folder: where its saves are proposed (outlives the window).
    TrendWindow(ProgramState& state, OperationRunner& runner, SaveFolder& folder,
                QWidget* parent = nullptr);

    void setTrend(const TrendHeading& heading, std::vector<TrendChart> charts);

    int chartCount() const override { return static_cast<int>(views_.size()); }
    QString chartTitle(int chart) const override;
    QString chartFileStem(int chart) const override;
    bool saveChart(int chart, ChartFormat format, const QString& path) override;

    QChartView* chartView(int chart) const { return views_.at(static_cast<std::size_t>(chart)); }

  private:
    ProgramState& state_;
    OperationRunner& runner_;
    SaveFolder& folder_;
    QLabel* heading_ = nullptr;
    QVBoxLayout* charts_ = nullptr;
    QWidget* holder_ = nullptr;
    std::vector<QChartView*> views_;
    std::vector<QString> titles_;
    std::vector<QString> stems_;
    std::vector<QPushButton*> buttons_;
};

}  // namespace ksx4
