/// @file
/// The host's user-control surface: the control's own size in twips and the Resize notification.
#pragma once

namespace platform {

/// Base of every control. The host asks for a size with resize(); the control's Resize handler then runs
/// and may set its own Width and Height, which run Resize again when they change the size.
class [[gnu::visibility("default")]] user_control {
  public:
    virtual ~user_control() = default;

    /// The host's request: the size becomes width x height twips, then Resize runs.
    void resize(float width, float height) {
        width_ = width;
        height_ = height;
        Resize();
    }

    /// The control's width in twips.
    float Width() const noexcept {
        return width_;
    }
    /// The control's height in twips.
    float Height() const noexcept {
        return height_;
    }

  protected:
    /// A control starts at the size it was designed at, width x height twips.
    user_control(float width, float height) noexcept : width_(width), height_(height) {}
    /// The same size as other.
    user_control(const user_control& other) = default;
    /// Takes the size of other, without running Resize.
    user_control& operator=(const user_control& other) = default;

    /// The control setting its own width; a change runs Resize again.
    void Width(float width) {
        if (width_ != width) {
            width_ = width;
            Resize();
        }
    }
    /// The control setting its own height; a change runs Resize again.
    void Height(float height) {
        if (height_ != height) {
            height_ = height;
            Resize();
        }
    }

    /// The Resize notification; a control that keeps a fixed size sets it here.
    virtual void Resize() {}

  private:
    float width_;
    float height_;
};

}  // namespace platform
