// A search host that records what the search does to the window, as text.
#pragma once

#include <QStringList>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "search/FileSearch.h"

namespace vx::testing {

struct RecordingPointer : PointerService {
    explicit RecordingPointer(std::vector<std::string>& l) : log(l) {}
    void SetPointer(Pointer p) override {
        log.push_back(p == Pointer::Hourglass ? "Pointer Hourglass" : "Pointer Default");
    }
    std::vector<std::string>& log;
};

class RecordingSearchHost : public search::SearchHost {
public:
    void AddRow(const search::DrawingRow& row) override {
        rows.push_back(row);
        log.push_back("Row " + row.FileName.toStdString());
    }
    void ClearRows() override {
        rows.clear();
        log.push_back("Clear");
    }
    int RowCount() const override { return static_cast<int>(rows.size()); }
    QString FirstRowPath() const override { return rows.empty() ? QString() : rows.front().Path; }
    void SortRows() override { log.push_back("Sorted"); }

    void SetStatus(const QString& text) override {
        status = text;
        QString shown = text;
        shown.replace(QLatin1Char('\r'), QLatin1String("<CR>"));
        log.push_back("Status: " + shown.toStdString());
    }
    void SetFoundLabel(const QString& text) override {
        label = text;
        log.push_back("Label1: " + text.toStdString());
    }

    QString DirPath() const override { return dirPath; }
    QString Pattern() const override { return pattern; }

    bool IncludeSubfolders() const override { return includeSubfolders; }
    void UntickIncludeSubfolders() override {
        log.push_back("Untick Check1");
        includeSubfolders = false;
    }

    bool StopRequested() const override { return stop; }
    void SetStopRequested(bool value) override {
        stop = value;
        log.push_back(value ? "StopRequested := True" : "StopRequested := False");
    }

    PointerService& MousePointer() override { return pointer; }

    int PrinterCount() const override { return printerCount; }
    void FillPlotLists() override {
        log.push_back("FillPlotLists");
        printerCount = 3;
    }
    void EnablePrintAll() override { log.push_back("Command2 enabled"); }

    int TextWidth(const QString& text) const override { return static_cast<int>(text.size()) * 7; }
    void SetDirHorizontalExtent(int) override {}

    void KeepAlive() override { onKeepAlive(); }

    QStringList Names() const {
        QStringList names;
        for (const auto& r : rows) {
            names << r.FileName;
        }
        return names;
    }
    // The log without the lines starting with any of `prefixes`.
    std::vector<std::string> LogWithout(std::initializer_list<std::string> prefixes) const {
        std::vector<std::string> out;
        for (const auto& line : log) {
            if (std::none_of(prefixes.begin(), prefixes.end(),
                             [&](const std::string& p) { return line.rfind(p, 0) == 0; })) {
                out.push_back(line);
            }
        }
        return out;
    }

    std::vector<std::string> log;
    std::vector<search::DrawingRow> rows;
    QString dirPath;
    QString pattern = QStringLiteral("*.DWG");
    QString status;
    QString label;
    bool includeSubfolders = false;
    bool stop = false;
    int printerCount = 0;
    RecordingPointer pointer{log};
    std::function<void()> onKeepAlive = [] {};
};

}  // namespace vx::testing
