#pragma once
// A picture stretched over the content rectangle; an animated picture steps through its frames
// by their delays (never faster than 30 ms a frame). A picture that cannot be loaded makes the
// element fail to be created, so its parent shows no such child.
#include "gfx/Bitmap.h"
#include "platform/Types.h"
#include "view/ViewElement.h"

#include <memory>
#include <vector>

namespace Plenvo {

class CViewImage : public CViewElement {
public:
    static constexpr unsigned kMinimumFrameDelay = 30;

    explicit CViewImage(Json description);
    ~CViewImage() override;

    bool ReadProperties() override;
    void Paint(gfx::Graphics& graphics, const gfx::RectF& clip, int layer) override;

    unsigned FrameCount() const { return frameCount_; }
    unsigned CurrentFrame() const { return currentFrame_; }
    const std::vector<unsigned>& FrameDelays() const { return delays_; }
    platform::UINT_PTR AnimationTimer() const { return timer_; }
    // One step of the animation, as its timer runs it.
    void NextFrame();

private:
    void StopAnimation();

    std::unique_ptr<gfx::Bitmap> picture_;
    unsigned frameCount_ = 0;
    unsigned currentFrame_ = 0;
    std::vector<unsigned> delays_;
    platform::UINT_PTR timer_ = 0;
};

} // namespace Plenvo
