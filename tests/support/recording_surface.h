// A drawing surface that keeps every call with its arguments and the pen,
// brush, font and colours in force, so tests can pin geometry and colours.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "services/drawing_surface.h"

namespace kel_test {

enum class Op { Rectangle, Line, Polyline, TextOut, DrawText, SelectFont, DeleteFont };

struct Call {
    Op op{};
    platform::Rect rect{};  // Rectangle, DrawText; a Line from (left, top) to (right, bottom)
    std::string text{};
    int format = 0;
    std::vector<platform::Point> points{};  // Polyline
    std::optional<platform::Pen> pen{};
    std::optional<platform::Brush> brush{};
    platform::FontSpec font{};
    platform::Color textColor{};
    platform::Color bkColor{};
};

class RecordingSurface : public platform::DrawingSurface {
public:
    // Metrics returned for every font: H = height, W = the given ratio of it.
    explicit RecordingSurface(int width = 1600, int height = 1000, double charWidthRatio = 0.6)
        : width_(width), height_(height), ratio_(charWidthRatio) {}

    void SelectPen(const platform::Pen& pen) override { pen_ = pen; ++penSelections; }
    void SelectBrush(const platform::Brush& brush) override { brush_ = brush; }
    void SelectNullPen() override { pen_.reset(); }
    void SelectNullBrush() override { brush_.reset(); }
    void SelectFont(const platform::FontSpec& font) override
    {
        font_ = font;
        Record({Op::SelectFont});
    }
    void DeleteFont() override { Record({Op::DeleteFont}); }
    platform::TextMetrics GetTextMetrics() override
    {
        return {font_.height, static_cast<int>(font_.height * ratio_)};
    }
    void Rectangle(int left, int top, int right, int bottom) override
    {
        Record({Op::Rectangle, {left, top, right, bottom}});
    }
    void MoveTo(int x, int y) override { position_ = {x, y}; }
    void LineTo(int x, int y) override
    {
        Record({Op::Line, {position_.x, position_.y, x, y}});
        position_ = {x, y};
    }
    void Polyline(const platform::Point* points, int count) override
    {
        Call call{Op::Polyline};
        call.points.assign(points, points + count);
        Record(call);
        if (count > 0) position_ = points[count - 1];
    }
    void TextOut(int x, int y, const char* text, int length) override
    {
        Record({Op::TextOut, {x, y, x, y}, std::string(text, static_cast<std::size_t>(length))});
    }
    void DrawText(const char* text, int length, const platform::Rect& rect, int format) override
    {
        Call call{Op::DrawText, rect, std::string(text, static_cast<std::size_t>(length))};
        call.format = format;
        Record(call);
    }
    // A fixed-pitch font: every character is W wide.
    int GetTextExtent(const char*, int length) override { return length * GetTextMetrics().tmAveCharWidth; }
    void SetTextColor(platform::Color color) override { textColor_ = color; }
    void SetBkColor(platform::Color color) override { bkColor_ = color; }
    int GetDeviceCaps(int index) override
    {
        return index == platform::kHorzRes ? width_ : index == platform::kVertRes ? height_ : 0;
    }

    // Calls of one kind, in order.
    std::vector<Call> Of(Op op) const
    {
        std::vector<Call> found;
        for (const Call& call : calls)
            if (call.op == op) found.push_back(call);
        return found;
    }
    // The first text call whose text starts with `prefix`.
    const Call* Text(const std::string& prefix) const
    {
        for (const Call& call : calls)
            if ((call.op == Op::TextOut || call.op == Op::DrawText) && call.text.rfind(prefix, 0) == 0) return &call;
        return nullptr;
    }

    std::vector<Call> calls;
    int penSelections = 0;

private:
    void Record(Call call)
    {
        call.pen = pen_;
        call.brush = brush_;
        call.font = font_;
        call.textColor = textColor_;
        call.bkColor = bkColor_;
        calls.push_back(std::move(call));
    }

    int width_, height_;
    double ratio_;
    std::optional<platform::Pen> pen_;
    std::optional<platform::Brush> brush_;
    platform::FontSpec font_;
    platform::Color textColor_;
    platform::Color bkColor_{255, 255, 255};
    platform::Point position_;
};

}  // namespace kel_test
