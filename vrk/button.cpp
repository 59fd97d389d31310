// Buttons: records, registration, drawing into the window buffers, groups, and the state machine
// the input pass runs on the window under the mouse.
#include "vrk/button.h"

#include <algorithm>
#include <cstring>

#include "color/color.h"
#include "vrk/grbuf.h"
#include "vrk/input.h"
#include "vrk/memory.h"
#include "vrk/mouse.h"
#include "vrk/text.h"
#include "vrk/vrk.h"

namespace {

ButtonGroup btn_grp[BUTTON_MAX_GROUPS];
int last_button_winID = -1;

constexpr int kPressBits = MOUSE_LEFT_PRESSED | MOUSE_RIGHT_PRESSED;
constexpr int kHeldBits = MOUSE_LEFT_HELD | MOUSE_RIGHT_HELD;
constexpr int kReleaseBits = MOUSE_LEFT_RELEASED | MOUSE_RIGHT_RELEASED;

int width_of(const Button* b) { return b->rect.lrx - b->rect.ulx + 1; }
int height_of(const Button* b) { return b->rect.lry - b->rect.uly + 1; }

Rect screen_rect(const Window* w, const Button* b) {
  return {w->rect.ulx + b->rect.ulx, w->rect.uly + b->rect.uly, w->rect.ulx + b->rect.lrx, w->rect.uly + b->rect.lry};
}

bool is_down(const Button* b) { return (b->flags & BUTTON_IS_DOWN) != 0; }
bool is_toggle(const Button* b) { return (b->flags & BUTTON_TOGGLE) != 0; }
bool disabled(const Button* b) { return (b->flags & BUTTON_DISABLED) != 0; }

// The normal image a disabled one stands for (and the normal images themselves).
uint8_t* normal_image(const Button* b, uint8_t* image) {
  if (!image) return nullptr;
  if (image == b->disabled_up_image) return b->up_image;
  if (image == b->disabled_down_image) return b->down_image;
  if (image == b->disabled_hover_image) return b->hover_image;
  return image;
}

// Draws image as the button's look: a down toggle shows its down image for the up one, a
// disabled button its disabled images (the normal ones where none was given). Into the window
// buffer for the part inside clip (null: all), or, with now, refreshed on the screen. With sound,
// a change to the down or up look calls the matching sound routine.
void button_draw(Button* b, Window* w, uint8_t* image, bool now, const Rect* clip, bool sound) {
  image = normal_image(b, image);
  if (!image) return;
  if (image == b->up_image && is_toggle(b) && is_down(b) && b->down_image) image = b->down_image;
  uint8_t* look = image;
  if (disabled(b)) {
    uint8_t* d = image == b->up_image     ? b->disabled_up_image
                 : image == b->down_image ? b->disabled_down_image
                                          : b->disabled_hover_image;
    if (d) look = d;
  }
  const Rect s = screen_rect(w, b);
  if (!now) {
    Rect part = s;
    if (clip && rect_inside_bound(&s, clip, &part) != 0) part = {0, 0, -1, -1};
    if (part.lrx >= part.ulx && part.lry >= part.uly) {
      const int bw = width_of(b);
      const uint8_t* src = look + size_t(part.uly - s.uly) * size_t(bw) + size_t(part.ulx - s.ulx);
      uint8_t* dst = w->buffer + size_t(part.uly - w->rect.uly) * size_t(w->width) + size_t(part.ulx - w->rect.ulx);
      (b->flags & BUTTON_TRANS ? trans_buf_to_buf : buf_to_buf)(src, part.lrx - part.ulx + 1, part.lry - part.uly + 1,
                                                                bw, dst, w->width);
    }
  }
  const bool changed = normal_image(b, b->current_image) != image;
  b->current_image = look;
  if (now) VRK_win_refresh(w, &s, nullptr);
  if (sound && changed) {
    if (image == b->down_image && b->press_sound_func)
      b->press_sound_func(b->id, b->press_code);
    else if (image == b->up_image && b->release_sound_func)
      b->release_sound_func(b->id, b->release_code);
  }
}

// The look a button rests in: down for a toggle that is down, up otherwise.
uint8_t* rest_image(const Button* b) { return is_toggle(b) && is_down(b) ? b->down_image : b->up_image; }

bool under_mouse(const Window* w, const Button* b) {
  int x, y;
  mouse_get_position(&x, &y);
  const Rect s = screen_rect(w, b);
  if (x < s.ulx || x > s.lrx || y < s.uly || y > s.lry) return false;
  return !b->mask || b->mask[size_t(y - s.uly) * size_t(width_of(b)) + size_t(x - s.ulx)] != 0;
}

Button* find(int id, Window** w) {
  Window* owner = nullptr;
  Button* b = VRK_find_button(id, &owner);
  if (w) *w = owner;
  return b;
}

// Raises a down member of a group (a radio group making room): drawn up at once, its release
// routine called with its release code.
void raise_member(Button* m) {
  Window* w = nullptr;
  if (VRK_find_button(m->id, &w) != m) return;
  m->flags &= ~BUTTON_IS_DOWN;
  if (m->group) --m->group->num_down;
  button_draw(m, w, m->up_image, true, nullptr, false);
  if (m->release_func) m->release_func(m->id, m->release_code);
}

// Whether b may go down in its group; counts it down when it was not. A radio group raises its
// other members; a check group at its limit refuses and calls its routine.
bool group_allows(Button* b) {
  ButtonGroup* g = b->group;
  if (!g) return true;
  if (b->flags & BUTTON_RADIO) {
    for (int i = 0; i < g->count; ++i)
      if (g->members[i] != b && is_down(g->members[i])) raise_member(g->members[i]);
  } else if (!is_down(b) && g->num_down >= g->max_down) {
    if (g->func) g->func(b->id);
    return false;
  }
  if (!is_down(b)) ++g->num_down;
  return true;
}

// A push button of a group counts as down while it is held.
void push_down(Button* b) {
  if (b->group) b->flags |= BUTTON_IS_DOWN;
}
void push_up(Button* b) {
  if (b->group && is_down(b)) {
    b->flags &= ~BUTTON_IS_DOWN;
    --b->group->num_down;
  }
}

// The window's press is over without a release on its button.
void end_press(Window* w) {
  if (w->pressed_button && !is_toggle(w->pressed_button)) push_up(w->pressed_button);
  w->pressed_button = nullptr;
}

// The event of one pass: the button it belongs to, its code and its routine.
struct Event {
  Button* button = nullptr;
  int code = -1;
  button_fn fn = nullptr;
  void set(Button* b, int c, button_fn f) {
    button = b;
    code = c;
    fn = f;
  }
};

// The mouse has left hover button h of w: its exit code (unless disabled) and its rest look.
void leave(Window* w, Button* h, Event& e) {
  e.set(h, disabled(h) ? -1 : h->exit_code, h->exit_func);
  button_draw(h, w, rest_image(h), true, nullptr, true);
  w->hover_button = nullptr;
}

// Hands the event out: its routine runs last (it may delete the window), and consumes the code
// unless the button has BUTTON_ALWAYS_CODE.
int finish(Event& e, int* event) {
  *event = e.code;
  if (!e.button) return 0;
  const int flags = e.button->flags, id = e.button->id;
  if (e.fn && !(flags & BUTTON_DISABLED)) {
    if (!(flags & BUTTON_ALWAYS_CODE)) *event = -1;
    e.fn(id, e.code);
  }
  return 0;
}

Button* button_create(int win, int x, int y, int width, int height, int enter, int exit, int press, int release,
                      uint8_t* up, uint8_t* down, uint8_t* hover, int flags) {
  Window* w = VRK_find(win);
  if (!w || !w->buffer || width <= 0 || height <= 0 || x < 0 || y < 0 || x + width > w->width || y + height > w->height)
    return nullptr;
  if ((down || hover) && !up) return nullptr;
  auto* b = static_cast<Button*>(mem_malloc(sizeof(Button)));
  if (!b) return nullptr;
  std::memset(b, 0, sizeof *b);
  if (!(flags & BUTTON_TOGGLE)) flags &= ~(BUTTON_ON_PRESS | BUTTON_STAY_DOWN | BUTTON_IS_DOWN);
  b->id = button_new_id();
  b->flags = flags & ~(BUTTON_RADIO | BUTTON_RIGHT);
  b->rect = {x, y, x + width - 1, y + height - 1};
  b->enter_code = enter;
  b->exit_code = exit;
  b->press_code = press;
  b->release_code = release;
  b->right_press_code = b->right_release_code = -1;
  b->up_image = up;
  b->down_image = down;
  b->hover_image = hover;
  b->next = w->button_list;
  if (w->button_list) w->button_list->prev = b;
  w->button_list = b;
  return b;
}

// Paints a text button's face: background, optionally lightened, the text, two bevels and the
// black edge.
void paint_text_face(const Window* w, uint8_t* img, int bw, int bh, int x, int y, const char* text, bool up) {
  if (w->color == 256 && VRK_texture)
    buf_texture(img, bw, bh, bw, VRK_texture, w->tx + x, w->ty + y);
  else
    buf_fill(img, bw, bh, bw, w->color & 0xFF);
  if (up) lighten_buf(img, bw, bh, bw);
  const int tx = up ? 8 : 9, ty = up ? 3 : 4;
  text_to_buf(img + size_t(ty) * size_t(bw) + size_t(tx), text, bw - tx, bw,
              (VRK_translate_color(260) & 0xFF) | TEXT_SHADOW);
  int light = VRK_translate_color(258) & 0xFF, dark = VRK_translate_color(259) & 0xFF;
  if (!up) std::swap(light, dark);
  draw_shaded_box(img, bw, 2, 2, bw - 3, bh - 3, light, dark);
  draw_shaded_box(img, bw, 1, 1, bw - 2, bh - 2, light, dark);
  draw_box(img, bw, 0, 0, bw - 1, bh - 1, colorTable[0]);
}

}  // namespace

// --- registration ---

int button_new_id(void) {
  int id = 1;
  while (VRK_find_button(id, nullptr)) ++id;
  return id;
}

int win_register_button(int win, int x, int y, int width, int height, int enter, int exit, int press, int release,
                        uint8_t* up, uint8_t* down, uint8_t* hover, int flags) {
  Button* b = button_create(win, x, y, width, height, enter, exit, press, release, up, down, hover, flags);
  if (!b) return -1;
  b->flags |= BUTTON_CALLER_IMAGES;
  button_draw(b, VRK_find(win), b->up_image, true, nullptr, false);
  return b->id;
}

int win_register_text_button(int win, int x, int y, int enter, int exit, int press, int release, const char* text,
                             int flags) {
  Window* w = VRK_find(win);
  if (!w || !text) return -1;
  const int bw = text_width(text) + 16, bh = text_height() + 6;
  auto* up = static_cast<uint8_t*>(mem_malloc(size_t(bw) * size_t(bh)));
  auto* down = static_cast<uint8_t*>(mem_malloc(size_t(bw) * size_t(bh)));
  Button* b = nullptr;
  if (up && down) {
    paint_text_face(w, up, bw, bh, x, y, text, true);
    paint_text_face(w, down, bw, bh, x, y, text, false);
    b = button_create(win, x, y, bw, bh, enter, exit, press, release, up, down, nullptr, flags & ~BUTTON_CALLER_IMAGES);
  }
  if (!b) {
    mem_free(up);
    mem_free(down);
    return -1;
  }
  button_draw(b, w, b->up_image, true, nullptr, false);
  return b->id;
}

int win_register_button_disable(int id, uint8_t* up, uint8_t* down, uint8_t* hover) {
  Window* w = nullptr;
  Button* b = find(id, &w);
  if (!b) return -1;
  uint8_t* shown = normal_image(b, b->current_image);
  b->disabled_up_image = up;
  b->disabled_down_image = down;
  b->disabled_hover_image = hover;
  if (disabled(b)) button_draw(b, w, shown, true, nullptr, false);
  return 0;
}

int win_register_button_image(int id, uint8_t* up, uint8_t* down, uint8_t* hover, int redraw) {
  Window* w = nullptr;
  Button* b = find(id, &w);
  if (!b || !(b->flags & BUTTON_CALLER_IMAGES) || ((down || hover) && !up)) return -1;
  // The same look in the new images.
  uint8_t* shown = normal_image(b, b->current_image);
  uint8_t* next = shown == b->down_image ? down : shown == b->hover_image && hover ? hover : up;
  b->up_image = up;
  b->down_image = down;
  b->hover_image = hover;
  b->current_image = next;
  if (redraw) button_draw(b, w, next, true, nullptr, false);
  return 0;
}

int win_register_button_func(int id, button_fn enter, button_fn exit, button_fn press, button_fn release) {
  Button* b = find(id, nullptr);
  if (!b) return -1;
  b->enter_func = enter;
  b->exit_func = exit;
  b->press_func = press;
  b->release_func = release;
  return 0;
}

int win_register_right_button(int id, int press, int release, button_fn press_func, button_fn release_func) {
  Button* b = find(id, nullptr);
  if (!b) return -1;
  b->right_press_code = press;
  b->right_release_code = release;
  b->right_press_func = press_func;
  b->right_release_func = release_func;
  if (press != -1 || release != -1 || press_func || release_func)
    b->flags |= BUTTON_RIGHT;
  else
    b->flags &= ~BUTTON_RIGHT;
  return 0;
}

int win_register_button_sound_func(int id, button_fn press_sound, button_fn release_sound) {
  Button* b = find(id, nullptr);
  if (!b) return -1;
  b->press_sound_func = press_sound;
  b->release_sound_func = release_sound;
  return 0;
}

int win_register_button_mask(int id, uint8_t* mask) {
  Button* b = find(id, nullptr);
  if (!b) return -1;
  b->mask = mask;
  return 0;
}

// --- queries and changes ---

int win_button_down(int id) {
  Button* b = find(id, nullptr);
  return b && is_toggle(b) && is_down(b) ? 1 : 0;
}

int win_button_winID(int id) {
  Window* w = nullptr;
  return find(id, &w) ? w->id : -1;
}

int win_last_button_winID(void) { return last_button_winID; }

int win_delete_button(int id) {
  Window* w = nullptr;
  Button* b = find(id, &w);
  if (!b) return -1;
  if (b->prev)
    b->prev->next = b->next;
  else
    w->button_list = b->next;
  if (b->next) b->next->prev = b->prev;
  win_fill(w->id, b->rect.ulx, b->rect.uly, width_of(b), height_of(b), w->color);
  if (w->hover_button == b) w->hover_button = nullptr;
  if (w->pressed_button == b) w->pressed_button = nullptr;
  VRK_delete_button(b);
  return 0;
}

void win_delete_button_win(int id, int code) {
  int win = win_button_winID(id);
  if (win == -1) return;
  win_delete(win);
  VRK_add_input_buffer(code);
}

int win_enable_button(int id) {
  Window* w = nullptr;
  Button* b = find(id, &w);
  if (!b) return -1;
  if (disabled(b)) {
    uint8_t* shown = normal_image(b, b->current_image);
    b->flags &= ~BUTTON_DISABLED;
    button_draw(b, w, shown, true, nullptr, false);
  }
  return 0;
}

int win_disable_button(int id) {
  Window* w = nullptr;
  Button* b = find(id, &w);
  if (!b) return -1;
  if (!disabled(b)) {
    uint8_t* shown = normal_image(b, b->current_image);
    b->flags |= BUTTON_DISABLED;
    if (w->pressed_button == b) end_press(w);
    if (w->hover_button == b) {
      w->hover_button = nullptr;
      shown = rest_image(b);
      VRK_add_input_buffer(b->exit_code);
    }
    button_draw(b, w, shown, true, nullptr, false);
  }
  return 0;
}

int win_set_button_rest_state(int id, int down, int send) {
  Window* w = nullptr;
  Button* b = find(id, &w);
  if (!b || !is_toggle(b)) return -1;
  int code = -1;
  if (!down && is_down(b)) {
    b->flags &= ~BUTTON_IS_DOWN;
    if (b->group) --b->group->num_down;
    code = b->release_code;
    button_draw(b, w, b->up_image, true, nullptr, false);
  } else if (down && !is_down(b)) {
    // The program decides: a check group's limit does not apply, a radio group still keeps one.
    if (b->group && (b->flags & BUTTON_RADIO))
      group_allows(b);
    else if (b->group)
      ++b->group->num_down;
    b->flags |= BUTTON_IS_DOWN;
    code = b->press_code;
    button_draw(b, w, b->down_image, true, nullptr, false);
  }
  if (code != -1 && send) VRK_add_input_buffer(code);
  return 0;
}

// --- groups ---

int win_group_check_buttons(int count, const int* ids, int max_down, button_group_fn func) {
  if (count < 1 || count > BUTTON_GROUP_SIZE || !ids || !VRK_win_init_flag) return -1;
  Button* members[BUTTON_GROUP_SIZE];
  for (int i = 0; i < count; ++i)
    if (!(members[i] = find(ids[i], nullptr))) return -1;
  ButtonGroup* g = nullptr;
  for (ButtonGroup& e : btn_grp)
    if (e.count == 0) {
      g = &e;
      break;
    }
  if (!g) return -1;
  std::memset(g, 0, sizeof *g);
  g->max_down = max_down;
  g->func = func;
  for (int i = 0; i < count; ++i) {
    Button* b = members[i];
    if (b->group) {
      // A button belongs to one group: it leaves the old one.
      ButtonGroup* old = b->group;
      auto end = old->members + old->count;
      std::remove(old->members, end, b);
      --old->count;
      if (is_down(b)) --old->num_down;
    }
    b->group = g;
    g->members[g->count++] = b;
    if (is_toggle(b) && is_down(b)) ++g->num_down;
  }
  return 0;
}

int win_group_radio_buttons(int count, const int* ids) {
  if (win_group_check_buttons(count, ids, 1, nullptr) != 0) return -1;
  Button* first = find(ids[0], nullptr);
  for (int i = 0; i < first->group->count; ++i) first->group->members[i]->flags |= BUTTON_RADIO;
  return 0;
}

int win_button_press_and_release(int id) {
  Window* w = nullptr;
  Button* b = find(id, &w);
  if (!b || disabled(b)) return -1;
  const int flags = b->flags;
  button_draw(b, w, b->down_image, true, nullptr, true);
  if (b->press_func) {
    b->press_func(id, b->press_code);
    if (flags & BUTTON_ALWAYS_CODE) VRK_add_input_buffer(b->press_code);
  } else {
    VRK_add_input_buffer(b->press_code);
  }
  // The press routine may have taken the button away.
  if (find(id, &w) != b) return 0;
  button_draw(b, w, b->up_image, true, nullptr, true);
  if (b->release_func) {
    b->release_func(id, b->release_code);
    if (flags & BUTTON_ALWAYS_CODE) VRK_add_input_buffer(b->release_code);
  } else {
    VRK_add_input_buffer(b->release_code);
  }
  return 0;
}

// --- the window system's calls ---

void VRK_delete_button(Button* b) {
  if (!b) return;
  if (!(b->flags & BUTTON_CALLER_IMAGES)) {
    uint8_t* images[6] = {b->up_image,          b->down_image,          b->hover_image,
                          b->disabled_up_image, b->disabled_down_image, b->disabled_hover_image};
    for (int i = 0; i < 6; ++i)
      if (images[i] && std::find(images, images + i, images[i]) == images + i) mem_free(images[i]);
  }
  if (ButtonGroup* g = b->group) {
    auto end = g->members + g->count;
    if (std::find(g->members, end, b) != end) {
      std::remove(g->members, end, b);
      --g->count;
      if (is_down(b)) --g->num_down;
    }
  }
  mem_free(b);
}

void VRK_button_refresh(Window* w, const Rect* r) {
  if (!w || !w->buffer || !w->button_list) return;
  Button* b = w->button_list;
  while (b->next) b = b->next;
  for (; b; b = b->prev) button_draw(b, w, b->current_image, false, r, false);
}

int VRK_check_buttons(Window* w, int* event) {
  int unused;
  if (!event) event = &unused;
  *event = -1;
  if (!w || !VRK_win_init_flag || (w->flags & WIN_HIDDEN)) return -1;
  const int bits = mouse_get_buttons();
  int mx, my;
  mouse_get_position(&mx, &my);
  Event e;
  if (mx < w->rect.ulx || mx > w->rect.lrx || my < w->rect.uly || my > w->rect.lry) {
    // A press that ended out here does not count when the mouse comes back with a button down.
    if (!(bits & (kPressBits | kHeldBits))) end_press(w);
    if (!w->hover_button) return -1;
    leave(w, w->hover_button, e);
    last_button_winID = w->id;
    return finish(e, event);
  }
  if ((bits & MOUSE_LEFT_PRESSED) && !(w->flags & WIN_NO_CLICK_RAISE)) win_show(w->id);
  if (bits == 0) end_press(w);
  Button* start = w->button_list;
  if (Button* h = w->hover_button) {
    if (!under_mouse(w, h)) {
      leave(w, h, e);
      last_button_winID = w->id;
      return finish(e, event);
    }
    start = h;
  } else if (Button* p = w->pressed_button; p && under_mouse(w, p)) {
    e.set(p, disabled(p) ? -1 : p->enter_code, p->enter_func);
    button_draw(p, w, rest_image(p), true, nullptr, true);
    w->hover_button = p;
    last_button_winID = w->id;
    return finish(e, event);
  }
  if (last_button_winID != w->id) {
    Window* other = VRK_find(last_button_winID);
    if (other && other->hover_button) {
      Button* h = other->hover_button;
      e.set(h, disabled(h) ? -1 : h->exit_code, h->exit_func);
      button_draw(h, other, rest_image(h), true, nullptr, true);
      other->hover_button = nullptr;
      end_press(other);
      last_button_winID = -1;
      return finish(e, event);
    }
  }
  Button* x = nullptr;
  for (Button* c = start; c; c = c->next)
    if (!disabled(c) && under_mouse(w, c)) {
      x = c;
      break;
    }
  const bool fresh_press = (bits & kPressBits) && !(bits & kHeldBits);
  if (x && (bits & kPressBits)) {
    const bool left = bits & MOUSE_LEFT_PRESSED;
    const bool fresh = !(bits & (left ? MOUSE_LEFT_HELD : MOUSE_RIGHT_HELD));
    if ((!left && !(x->flags & BUTTON_RIGHT)) || (x != w->hover_button && x != w->pressed_button)) {
      x = nullptr;
    } else {
      w->hover_button = w->pressed_button = x;
      if (is_toggle(x)) {
        // A held button repeats its press every so often; a toggle changes once per press.
        if ((x->flags & BUTTON_ON_PRESS) && fresh) {
          if (is_down(x)) {
            if (!(x->flags & BUTTON_STAY_DOWN)) {
              x->flags &= ~BUTTON_IS_DOWN;
              if (x->group) --x->group->num_down;
              e.set(x, left ? x->release_code : x->right_release_code, left ? x->release_func : x->right_release_func);
            }
          } else if (!group_allows(x)) {
            x = nullptr;
          } else {
            x->flags |= BUTTON_IS_DOWN;
            e.set(x, left ? x->press_code : x->right_press_code, left ? x->press_func : x->right_press_func);
          }
        }
      } else if (!group_allows(x)) {
        x = nullptr;
      } else {
        push_down(x);
        e.set(x, left ? x->press_code : x->right_press_code, left ? x->press_func : x->right_press_func);
      }
      if (x) button_draw(x, w, x->down_image, true, nullptr, true);
    }
  } else if (x && (bits & kReleaseBits) && x == w->pressed_button) {
    const bool left = bits & MOUSE_LEFT_RELEASED;
    w->pressed_button = nullptr;
    w->hover_button = x;
    if (is_toggle(x)) {
      if (x->flags & BUTTON_ON_PRESS) {
        // It changed on the press.
      } else if (is_down(x)) {
        if (!(x->flags & BUTTON_STAY_DOWN)) {
          x->flags &= ~BUTTON_IS_DOWN;
          if (x->group) --x->group->num_down;
          e.set(x, left ? x->release_code : x->right_release_code, left ? x->release_func : x->right_release_func);
        }
      } else if (!group_allows(x)) {
        button_draw(x, w, x->up_image, true, nullptr, true);
        x = nullptr;
      } else {
        x->flags |= BUTTON_IS_DOWN;
        e.set(x, left ? x->press_code : x->right_press_code, left ? x->press_func : x->right_press_func);
      }
    } else {
      push_up(x);
      e.set(x, left ? x->release_code : x->right_release_code, left ? x->release_func : x->right_release_func);
    }
    if (x) button_draw(x, w, x->hover_image ? x->hover_image : x->up_image, true, nullptr, true);
  } else if (x && bits == 0 && !w->hover_button) {
    w->hover_button = x;
    e.set(x, x->enter_code, x->enter_func);
    button_draw(x, w, x->hover_image, true, nullptr, true);
  }
  if (fresh_press) {
    if (!x && (w->flags & WIN_DRAGGABLE)) {
      win_drag(w->id);
    } else if (x && (x->flags & BUTTON_DRAG)) {
      win_drag(w->id);
      if (VRK_find_button(x->id, nullptr) == x) button_draw(x, w, x->up_image, true, nullptr, false);
    }
  }
  last_button_winID = w->id;
  return finish(e, event);
}
