#include "view/controls/ViewImage.h"

#include "gfx/Graphics.h"
#include "net/ThreadTimer.h"
#include "view/StyleValues.h"
#include "view/controls/ViewButton.h"

#include <algorithm>

namespace Plenvo {

CViewImage::CViewImage(Json description) : CViewElement(std::move(description)) {}

CViewImage::~CViewImage() {
    StopAnimation();
}

void CViewImage::StopAnimation() {
    if (timer_) {
        SimpleCurl::KillThreadTimer(timer_);
        timer_ = 0;
    }
}

bool CViewImage::ReadProperties() {
    StopAnimation();
    const std::string* src = StringMember(description_, "src");
    if (src && !src->empty()) {
        picture_ = LoadImage(*src);
        if (!picture_) {
            return false;
        }
        frameCount_ = picture_->FrameCount();
        currentFrame_ = 0;
        if (frameCount_ > 1) {
            delays_ = picture_->FrameDelays();
            const unsigned first = delays_.empty() ? 0 : delays_[0];
            const std::weak_ptr<CViewElement> weak = weak_from_this();
            timer_ = SimpleCurl::RegisterThreadTimer(first, [weak](platform::UINT_PTR id) {
                auto self = std::static_pointer_cast<CViewImage>(weak.lock());
                if (!self) {
                    SimpleCurl::KillThreadTimer(id);
                    return;
                }
                self->NextFrame();
            });
        }
    }
    return CViewElement::ReadProperties();
}

void CViewImage::NextFrame() {
    if (frameCount_ == 0) {
        return;
    }
    currentFrame_ = (currentFrame_ + 1) % frameCount_;
    const gfx::RectF r = GetRect();
    InvalidateRectMm({r.x - 1, r.y - 1, r.width + 2, r.height + 2});
    const unsigned delay = currentFrame_ < delays_.size() ? delays_[currentFrame_] : 0;
    if (timer_) {
        SimpleCurl::SetThreadTimer(timer_, std::max(delay, kMinimumFrameDelay));
    }
}

void CViewImage::Paint(gfx::Graphics& graphics, const gfx::RectF& clip, int layer) {
    if (!GetRect().Intersects(clip)) {
        return;
    }
    CViewElement::Paint(graphics, clip, layer);
    if (picture_) {
        picture_->SelectActiveFrame(currentFrame_);
        graphics.DrawImage(*picture_, SnapToPixels(contentRect_, graphics.Dpi()));
    }
}

} // namespace Plenvo
