#pragma once

#include "commands/Window.h"
#include "ui/PanoramaView.h"

// A panorama view as the commands centre and drag it: the widget knows nothing of the commands,
// so the window hands them this.
class CentredPanoramaView final : public CentredView {
 public:
  void Attach(PanoramaView* view) { view_ = view; }

  int ClientWidth() const override { return view_->ClientWidth(); }
  int ClientHeight() const override { return view_->ClientHeight(); }
  std::int32_t HorizontalPosition() const override { return view_->HorizontalPosition(); }
  std::int32_t VerticalPosition() const override { return view_->VerticalPosition(); }
  void SetHorizontalPosition(std::int32_t position) override {
    view_->SetHorizontalPosition(position);
  }
  void SetVerticalPosition(std::int32_t position) override { view_->SetVerticalPosition(position); }
  double Scale() const override { return view_->Scale(); }
  int SurfaceOffsetX() const override { return view_->SurfaceOffsetX(); }
  void RepaintViewAndMagnifier() override { view_->RepaintViewAndMagnifier(); }

 private:
  PanoramaView* view_ = nullptr;
};
