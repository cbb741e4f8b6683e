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
    if (m_timer) {
        SimpleCurl::KillThreadTimer(m_timer);
        m_timer = 0;
    }
}

bool CViewImage::ReadProperties() {
    StopAnimation();
    const std::string* src = StringMember(m_description, "src");
    if (src && !src->empty()) {
        m_picture = LoadImage(*src);
        if (!m_picture) {
            return false;
        }
        m_frameCount = m_picture->FrameCount();
        m_currentFrame = 0;
        if (m_frameCount > 1) {
            m_delays = m_picture->FrameDelays();
            const unsigned first = m_delays.empty() ? 0 : m_delays[0];
            const std::weak_ptr<CViewElement> weak = weak_from_this();
            m_timer = SimpleCurl::RegisterThreadTimer(first, [weak](platform::UINT_PTR id) {
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
    if (m_frameCount == 0) {
        return;
    }
    m_currentFrame = (m_currentFrame + 1) % m_frameCount;
    const gfx::RectF r = GetRect();
    InvalidateRectMm({r.x - 1, r.y - 1, r.width + 2, r.height + 2});
    const unsigned delay = m_currentFrame < m_delays.size() ? m_delays[m_currentFrame] : 0;
    if (m_timer) {
        SimpleCurl::SetThreadTimer(m_timer, std::max(delay, kMinimumFrameDelay));
    }
}

void CViewImage::Paint(gfx::Graphics& graphics, const gfx::RectF& clip, int layer) {
    if (!GetRect().Intersects(clip)) {
        return;
    }
    CViewElement::Paint(graphics, clip, layer);
    if (m_picture) {
        m_picture->SelectActiveFrame(m_currentFrame);
        graphics.DrawImage(*m_picture, SnapToPixels(m_contentRect, graphics.Dpi()));
    }
}

} // namespace Plenvo
