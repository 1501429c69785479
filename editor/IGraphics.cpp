#include "editor/IGraphics.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "editor/BitmapCache.h"
#include "editor/FontCache.h"
#include "editor/IBitmapControl.h"
#include "framework/IPlugBase.h"
#include "resources/EmbeddedResources.h"

namespace {

// A text box hands over at most this many characters (a 32-byte buffer).
constexpr std::size_t kMaxEntryChars = 31;
// Larger images are refused before anything is allocated for them.
constexpr int kMaxBitmapSide = 16384;

bool HasPngExtension(const char* fileName) {
  if (!fileName) return false;
  const char* dot = std::strrchr(fileName, '.');
  if (!dot) return false;
  const char* ext = dot + 1;
  const char kPng[] = "png";
  for (int i = 0; i < 3; ++i) {
    if (ext[i] == '\0' || (ext[i] | 0x20) != kPng[i]) return false;
  }
  return ext[3] == '\0';
}

// Bitmaps are resources named by their numeric id, spelt the way Windows names such resources.
EmbeddedResource FindPngResource(int id, const char* fileName) {
  if (!HasPngExtension(fileName)) return {nullptr, 0};
  char name[16];
  std::snprintf(name, sizeof name, "#%d", id);
  return FindEmbeddedResource(name, "PNG");
}

int LiceMode(const BlendMode* blend) {
  if (!blend) return LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA;
  switch (blend->mMethod) {
    case BlendMode::kClobber:
      return LICE_BLIT_MODE_COPY;
    case BlendMode::kAdd:
      return LICE_BLIT_MODE_ADD | LICE_BLIT_USE_ALPHA;
    case BlendMode::kColorDodge:
      return LICE_BLIT_MODE_DODGE | LICE_BLIT_USE_ALPHA;
    default:
      return LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA;
  }
}

float LiceWeight(const BlendMode* blend) {
  return blend ? std::clamp(blend->mWeight, 0.0f, 1.0f) : 1.0f;
}

// Like the C library's reading of a number, but with a point as the separator whatever the
// process locale, and 0 for text that is no number.
double ReadDecimal(const char* text) {
  while (*text == ' ' || *text == '\t') ++text;
  if (*text == '+') ++text;
  double value = 0.0;
  const char* end = text + std::strlen(text);
  if (std::from_chars(text, end, value).ec != std::errc()) return 0.0;
  return value;
}

}  // namespace

IGraphics::IGraphics(IPlugBase* plug, int width, int height, int fps)
    : mPlug(plug), mWidth(width), mHeight(height), mFPS(fps) {
  mNPending = plug ? plug->NParams() : 0;
  mPending = std::make_unique<PendingValue[]>(static_cast<std::size_t>(mNPending));
}

IGraphics::~IGraphics() = default;

void IGraphics::Resize(int width, int height) {
  mWidth = width;
  mHeight = height;
  mMouseCapture = mMouseOver = -1;
  mControls.clear();
  mBindingIndexValid = false;
  // The off-screen bitmap follows at the next draw.
  if (mPlug) mPlug->ResizeEditor(width, height);
}

std::unique_ptr<LICE_MemBitmap> IGraphics::LoadBitmapResource(int id, const char* fileName) {
  const EmbeddedResource resource = FindPngResource(id, fileName);
  if (!resource.data) return nullptr;
  return LICE_LoadPNGFromMemory(resource.data, resource.size);
}

bool IGraphics::ReadBitmapResourceSize(int id, const char* fileName, int* width, int* height) {
  const EmbeddedResource resource = FindPngResource(id, fileName);
  // The signature, then the header chunk: length, "IHDR", width and height (big-endian).
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  if (!resource.data || resource.size < 24) return false;
  const unsigned char* p = resource.data;
  if (std::memcmp(p, kSignature, 8) != 0 || std::memcmp(p + 12, "IHDR", 4) != 0) return false;
  auto be32 = [](const unsigned char* q) {
    return (static_cast<std::uint32_t>(q[0]) << 24) | (static_cast<std::uint32_t>(q[1]) << 16) |
           (static_cast<std::uint32_t>(q[2]) << 8) | static_cast<std::uint32_t>(q[3]);
  };
  const std::uint32_t w = be32(p + 16);
  const std::uint32_t h = be32(p + 20);
  if (w == 0 || h == 0 || w > kMaxBitmapSide || h > kMaxBitmapSide) return false;
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
  return true;
}

// ---- Controls ----

int IGraphics::AttachControl(std::unique_ptr<IControl> control) {
  mControls.push_back(std::move(control));
  mBindingIndexValid = false;
  return NControls() - 1;
}

void IGraphics::AttachBackground(int id, const char* fileName) {
  const BitmapStrip strip = LoadBitmap(id, fileName);
  mControls.insert(mControls.begin(),
                   std::make_unique<IBitmapControl>(mPlug, 0, 0, -1, strip,
                                                    BlendMode{BlendMode::kClobber, 1.0f}));
  mBindingIndexValid = false;
  // Indices moved up by one.
  mMouseCapture = mMouseOver = -1;
}

IControl* IGraphics::GetControl(int i) const {
  if (i < 0 || i >= NControls()) return nullptr;
  return mControls[static_cast<std::size_t>(i)].get();
}

void IGraphics::SetAllControlsDirty() {
  for (const auto& control : mControls) control->MarkDirty(false);
}

BitmapStrip IGraphics::LoadBitmap(int id, const char* fileName, int nFrames,
                                  bool framesAreHorizontal) {
  BitmapStrip strip;
  strip.N = std::max(nFrames, 1);
  strip.mFramesAreHorizontal = framesAreHorizontal;
  CachedBitmap* entry = BitmapCache::Instance().Acquire(
      id, fileName, [this](int i, const char* name, int* w, int* h) {
        return ReadBitmapResourceSize(i, name, w, h);
      });
  if (!entry) return strip;
  strip.mCached = entry;
  strip.W = entry->Width();
  strip.H = entry->Height();
  return strip;
}

const LICE_IBitmap* IGraphics::GetStripPixels(const BitmapStrip& strip) {
  if (strip.mBitmap) return strip.mBitmap;
  if (!strip.mCached) return nullptr;
  if (const LICE_IBitmap* pixels = strip.mCached->Decoded()) return pixels;
  return BitmapCache::Instance().Pixels(
      strip.mCached, [this](int id, const char* name) { return LoadBitmapResource(id, name); });
}

// ---- Values from outside the editor ----

void IGraphics::SetControlsFromParameter(int paramIdx, double value, bool normalized) {
  if (paramIdx < 0 || paramIdx >= mNPending) return;
  if (!normalized) {
    // Range and shape are fixed once the plug-in is built, so any thread may read them.
    const IParameter* param = mPlug->GetParam(paramIdx);
    if (!param) return;
    value = param->ToNormalized(value);
  }
  if (!std::isfinite(value)) return;
  PendingValue& pending = mPending[static_cast<std::size_t>(paramIdx)];
  pending.mValue.store(value, std::memory_order_relaxed);
  pending.mSet.store(true, std::memory_order_release);
  mAnyPending.store(true, std::memory_order_release);
}

void IGraphics::BuildBindingIndex() {
  mBound.assign(static_cast<std::size_t>(mNPending), {});
  mAuxBound.assign(static_cast<std::size_t>(mNPending), {});
  for (int c = 0; c < NControls(); ++c) {
    const IControl* control = GetControl(c);
    const int p = control->ParamIdx();
    if (p >= 0 && p < mNPending) mBound[static_cast<std::size_t>(p)].push_back(c);
    for (int k = 0; k < control->NAuxParams(); ++k) {
      const int a = control->GetAuxParam(k).mParamIdx;
      if (a < 0 || a >= mNPending) continue;
      auto& list = mAuxBound[static_cast<std::size_t>(a)];
      // Only the first binding of a control on one parameter follows it.
      const bool seen = std::any_of(list.begin(), list.end(),
                                    [c](const std::pair<int, int>& e) { return e.first == c; });
      if (!seen) list.emplace_back(c, k);
    }
  }
  mBindingIndexValid = true;
}

void IGraphics::ApplyParameterValues() {
  if (!mAnyPending.exchange(false, std::memory_order_acquire)) return;
  if (!mBindingIndexValid) BuildBindingIndex();
  for (int i = 0; i < mNPending; ++i) {
    PendingValue& pending = mPending[static_cast<std::size_t>(i)];
    if (!pending.mSet.exchange(false, std::memory_order_acquire)) continue;
    const double value = pending.mValue.load(std::memory_order_relaxed);
    for (int c : mBound[static_cast<std::size_t>(i)]) GetControl(c)->SetValueFromHost(value);
    for (const auto& [c, k] : mAuxBound[static_cast<std::size_t>(i)]) {
      GetControl(c)->SetAuxValueFromHost(k, value);
    }
  }
}

// ---- Redraw cycle ----

bool IGraphics::CollectDirty(Rect* rect) {
  ApplyParameterValues();
  Rect dirty;
  bool any = false;
  for (const auto& control : mControls) {
    if (control->IsDirty()) {
      dirty = dirty.Union(control->GetRECT());
      any = true;
    }
  }
  if (rect) *rect = dirty;
  if (any) {
    mIdleTicks = 0;
    return true;
  }
  if (++mIdleTicks > kIdleTicksBeforeHostIdle) {
    mIdleTicks = 0;
    // HostIdle reads what the audio thread writes; the host's own idle calls hold the mutex, and
    // so does this one.
    if (mPlug) {
      IPlugBase::ScopedLock lock(mPlug->GetMutex());
      mPlug->HostIdle();
    }
  }
  return false;
}

bool IGraphics::DrawDirty(const Rect& rect) {
  if (mDrawBitmap.getWidth() != mWidth || mDrawBitmap.getHeight() != mHeight) {
    mDrawBitmap.resize(mWidth, mHeight);
  }
  mDrawRECT = rect;
  for (const auto& control : mControls) {
    if (!control->IsHidden() && control->GetRECT().Intersects(rect)) control->Draw(this);
    control->MarkClean();
  }
  return PresentRect(rect);
}

// ---- Events ----

int IGraphics::GetMouseControlIdx(int x, int y, bool mouseOver) const {
  for (int i = NControls() - 1; i >= 0; --i) {
    IControl* control = GetControl(i);
    if (control->IsHidden()) continue;
    if (control->IsGrayed() && !(mouseOver && control->MouseOverWhenGrayed())) continue;
    if (control->HitTest(x, y)) return i;
  }
  return -1;
}

void IGraphics::ReleaseMouseCapture() {
  mMouseCapture = -1;
  mMouseX = mMouseY = -1;
}

void IGraphics::HandleMouseDown(int x, int y, const MouseModifiers& mod) {
  ReleaseMouseCapture();
  const int c = GetMouseControlIdx(x, y);
  if (c < 0) return;
  IControl* control = GetControl(c);
  mMouseCapture = c;
  mMouseX = x;
  mMouseY = y;
  if (control->ParamIdx() >= 0 && mPlug) mPlug->BeginParamGesture(control->ParamIdx());
  control->MouseDown(x, y, mod);
}

void IGraphics::HandleMouseUp(int x, int y, const MouseModifiers& mod) {
  const int c = mMouseCapture >= 0 ? mMouseCapture : GetMouseControlIdx(x, y);
  ReleaseMouseCapture();
  IControl* control = GetControl(c);
  if (!control) return;
  const int paramIdx = control->ParamIdx();
  control->MouseUp(x, y, mod);
  if (paramIdx >= 0 && mPlug) mPlug->EndParamGesture(paramIdx);
}

void IGraphics::HandleMouseDrag(int x, int y, const MouseModifiers& mod) {
  IControl* control = GetControl(mMouseCapture);
  if (!control || (x == mMouseX && y == mMouseY)) return;
  const int dX = x - mMouseX;
  const int dY = y - mMouseY;
  mMouseX = x;
  mMouseY = y;
  control->MouseDrag(x, y, dX, dY, mod);
}

bool IGraphics::HandleDoubleClick(int x, int y, const MouseModifiers& mod) {
  ReleaseMouseCapture();
  const int c = GetMouseControlIdx(x, y);
  IControl* control = GetControl(c);
  if (!control) return false;
  if (control->DoubleClickAsClick()) {
    mMouseCapture = c;
    mMouseX = x;
    mMouseY = y;
    // The mouse-up that follows ends a gesture, so this second press begins one, as a press does.
    if (control->ParamIdx() >= 0 && mPlug) mPlug->BeginParamGesture(control->ParamIdx());
    control->MouseDown(x, y, mod);
    return true;
  }
  control->MouseDoubleClick(x, y, mod);
  return false;
}

void IGraphics::HandleMouseWheel(int x, int y, const MouseModifiers& mod, int notches) {
  const int c = mMouseCapture >= 0 ? mMouseCapture : GetMouseControlIdx(x, y);
  if (IControl* control = GetControl(c)) control->MouseWheel(x, y, mod, notches);
}

bool IGraphics::HandleMouseOver(int x, int y, const MouseModifiers& mod) {
  if (!mHandleMouseOver) return false;
  const int c = mMouseCapture >= 0 ? mMouseCapture : GetMouseControlIdx(x, y, true);
  if (IControl* control = GetControl(c)) control->MouseOver(x, y, mod);
  if (mMouseOver >= 0 && mMouseOver != c) {
    if (IControl* previous = GetControl(mMouseOver)) previous->MouseOut();
  }
  mMouseOver = c;
  return true;
}

void IGraphics::HandleMouseOut() {
  for (const auto& control : mControls) control->MouseOut();
  mMouseOver = -1;
}

bool IGraphics::HandleKeyDown(int x, int y, int key) {
  const int c = mMouseCapture >= 0 ? mMouseCapture : GetMouseControlIdx(x, y);
  if (c > 0) return GetControl(c)->KeyDown(x, y, key);
  if (mKeyCatcher) return mKeyCatcher->KeyDown(x, y, key);
  return false;
}

void IGraphics::CommitTextEntry(IControl* control, const IParameter* param, const char* text) {
  if (!control) return;
  const std::string entered(text ? text : "", 0,
                            text ? std::min(std::strlen(text), kMaxEntryChars) : 0);
  if (!param) {
    control->TextEntered(entered.c_str());
    return;
  }
  double value = 0.0;
  if (param->Type() != ParamTypeBool && param->Type() != ParamTypeEnum) {
    value = ReadDecimal(entered.c_str());
    if (param->NegateDisplay()) value = -value;
  } else if (!param->MapDisplayText(entered.c_str(), &value)) {
    value = 0.0;
  }
  const double normalized = param->ToNormalized(value);
  if (std::isfinite(normalized)) control->SetValueFromUser(normalized);
}

// ---- Drawing ----

bool IGraphics::BlitBitmap(const BitmapStrip& strip, const Rect& dest, int srcX, int srcY,
                           const BlendMode* blend) {
  const Rect r = dest.Intersect(mDrawRECT);
  if (r.Empty()) return false;
  const LICE_IBitmap* pixels = GetStripPixels(strip);
  if (!pixels) return false;
  LICE_Blit(&mDrawBitmap, pixels, r.L, r.T, srcX + (r.L - dest.L), srcY + (r.T - dest.T), r.W(),
            r.H(), LiceWeight(blend), LiceMode(blend));
  return true;
}

bool IGraphics::DrawBitmapFrame(const BitmapStrip& strip, const Rect& dest, int n,
                                const BlendMode* blend) {
  const int frames = std::max(strip.N, 1);
  // Never more than one frame, so a rect larger than a frame cannot show its neighbour.
  const Rect frameRect(dest.L, dest.T, dest.L + std::min(dest.W(), strip.FrameWidth()),
                       dest.T + std::min(dest.H(), strip.FrameHeight()));
  int srcX = 0;
  int srcY = 0;
  if (frames >= 2 && n >= 2) {
    const int frame = std::min(n, frames);
    if (strip.mFramesAreHorizontal) {
      srcX = static_cast<int>(0.5 + (frame - 1) * static_cast<double>(strip.W) / frames);
    } else {
      srcY = static_cast<int>(0.5 + (frame - 1) * static_cast<double>(strip.H) / frames);
    }
  }
  return BlitBitmap(strip, frameRect, srcX, srcY, blend);
}

bool IGraphics::DrawText(const TextStyle& style, const char* text, const Rect& rect) {
  if (!text || !*text) return true;
  const FontCacheEntry* font = FontCache::Instance().Find(style);
  if (!font || !font->IsValid()) return false;
  int flags = LICE_DT_NOCLIP;
  switch (style.mAlign) {
    case TextStyle::kAlignNear:
      flags |= LICE_DT_LEFT;
      break;
    case TextStyle::kAlignFar:
      flags |= LICE_DT_RIGHT;
      break;
    default:
      flags |= LICE_DT_CENTER;
      break;
  }
  if (style.mColor.A != 255) flags |= LICE_DT_USEFGALPHA;
  if (mDrawBitmap.getWidth() != mWidth || mDrawBitmap.getHeight() != mHeight) {
    mDrawBitmap.resize(mWidth, mHeight);
  }
  return font->DrawText(&mDrawBitmap, text, rect, style.mColor.Packed(), flags);
}

bool IGraphics::FillRect(const Color& color, const Rect& rect, const BlendMode* blend) {
  const Rect r = rect.Intersect(mDrawRECT);
  if (r.Empty()) return false;
  LICE_FillRect(&mDrawBitmap, r.L, r.T, r.W(), r.H(), color.Packed(), LiceWeight(blend),
                LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA);
  return true;
}
