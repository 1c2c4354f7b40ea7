"""The tool windows of marvok.exe under Wine, opened and closed by their
clicks on the main window, compared with the Linux windows' reference
pictures at points the layout fixes, and used: a colour typed into the
picker, an input device chosen, a picture sent to the channel."""
import os
import subprocess
import time

# Without a window manager Wine shows a window's inside alone, which xdotool
# then reports; the system still counts a frame of 3 px and a caption around
# it, so the outer size is that much larger.
FRAME = (6, 25)
TOLERANCE = 24


class ToolWindows:
    def __init__(self, s, main_window, work):
        """`s` is the scenario module: check, xdotool, window_named, geometry, screenshot, rgb_pixels, now."""
        self.s, self.main, self.work = s, main_window, work
        self.web_log = os.path.join(work, "web.log")

    def click_main(self, x, y, button="1"):
        left, top = self.s.WINDOW[:2]
        self.s.xdotool("mousemove", str(left + x), str(top + y), "click", button)

    def visible(self, pattern):
        return self.s.xdotool("search", "--onlyvisible", "--name", pattern, check_result=False)

    def gone(self, pattern, seconds=5):
        until = time.monotonic() + seconds
        while self.visible(pattern) and time.monotonic() < until:
            time.sleep(0.2)
        return not self.visible(pattern)

    def inside(self, window, name):
        """The window's inside, as a pixel reader of its own coordinates."""
        x, y, _, _ = self.s.geometry(window)
        shot = self.s.rgb_pixels(self.s.screenshot(name))
        return lambda px, py: shot(x + px, y + py)

    def click_inside(self, window, x, y):
        left, top, _, _ = self.s.geometry(window)
        self.s.xdotool("mousemove", str(left + x), str(top + y), "click", "1")

    def matches(self, what, got, reference, points):
        want = self.s.rgb_pixels(os.path.join(self.s.references, reference))
        for px, py in points:
            a, b = got(px, py), want(px, py)
            self.s.check(max(abs(p - q) for p, q in zip(a, b)) <= TOLERANCE,
                         f"{what} at ({px}, {py}): {a} against the Linux window's {b}")

    def web_requests_since(self, count_before, needle):
        with open(self.web_log, encoding="utf-8", errors="replace") as log:
            lines = log.read().splitlines()[count_before:]
        return [line for line in lines if needle in line]

    def web_log_length(self):
        with open(self.web_log, encoding="utf-8", errors="replace") as log:
            return len(log.read().splitlines())

    def opens_and_closes(self, title, click, size, reference, points, settle=1.5):
        """Opens the window from its click, checks it and returns it; the caller closes it."""
        self.click_main(*click)
        window = self.s.window_named(f"^{title}$", 15)
        self.s.check(window is not None, f"a click at {click} opens \"{title}\"")
        if not window:
            return None
        time.sleep(settle)  # the growth
        _, _, width, height = self.s.geometry(window)
        outer = (width + FRAME[0], height + FRAME[1])
        self.s.check(outer == size, f"\"{title}\" grows to {size} with its frame: {outer}")
        self.matches(title, self.inside(window, title.lower().replace(" ", "-")), reference, points)
        return window

    def closes_again(self, title, click):
        self.click_main(*click)
        self.s.check(self.gone(f"^{title}$"), f"the same click closes \"{title}\"")

    def run(self):
        s = self
        network = s.opens_and_closes("Marvok Network", (420, 380), (315, 460), "network-window.png",
                                     [(5, 5), (300, 200), (43, 300)])
        if network:
            s.closes_again("Marvok Network", (420, 380))
        group = s.opens_and_closes("Marvok Group List", (100, 130), (666, 650), "group-list-window.png",
                                   [(300, 300), (600, 420), (190, 80)], settle=4)
        if group:
            # One row a second: the member's own channel, 10, comes last, with its picture first.
            until = time.monotonic() + 15
            while True:
                row = self.inside(group, "group-list-row-10")
                cell = {row(x, y) for x in range(22, 52, 3) for y in range(472, 506, 3)}
                if len(cell) > 2 or time.monotonic() > until:
                    break
                time.sleep(1)
            s.s.check(len(cell) > 2, f"row 10 shows the member's picture: {len(cell)} colours")
            s.closes_again("Marvok Group List", (100, 130))
        params = s.opens_and_closes("Marvok Params", (55, 250), (200, 450), "params-window.png",
                                    [(5, 5), (190, 200), (190, 300)], settle=3)
        if params:
            card = self.inside(params, "params-card")
            text = {card(x, y) for x in range(10, 190, 2) for y in range(262, 300, 2)} - {(255, 0, 0)}
            s.s.check(len(text) > 3, f"the member's card is written on it: {len(text)} colours")
            self.pick_colour(params)
            self.choose_input_device(params)
            s.closes_again("Marvok Params", (55, 250))
        self.send_picture()

    def pick_colour(self, params):
        s = self.s
        before = self.web_log_length()
        self.click_inside(params, 67, 390)
        picker = s.window_named("^Colou?r$|^Couleurs?$", 10)
        s.check(picker is not None, "the swatch opens the colour picker")
        if not picker:
            return
        # Wine's picker, fully open: the red, green and blue fields, then OK.
        for (x, y), value in (((425, 194), "12"), ((425, 214), "34"), ((425, 237), "56")):
            self.click_inside(picker, x, y)
            s.xdotool("key", "End", "BackSpace", "BackSpace", "BackSpace")
            s.xdotool("type", value)
        self.click_inside(picker, 40, 260)
        until = time.monotonic() + 10
        while True:
            shot = self.inside(self.main, "colour-chosen")
            if shot(4, 200) == (12, 34, 56) or time.monotonic() > until:
                break
            time.sleep(0.5)
        s.check(shot(4, 200) == (12, 34, 56), f"the main window repaints in the chosen colour: {shot(4, 200)}")
        posted = self.web_requests_since(before, "POST")
        s.check(any(" 200 " in line for line in posted), f"the colour is posted to marvok-web: {posted}")

    def choose_input_device(self, params):
        s = self.s
        self.click_inside(params, 75, 75)
        devices = s.window_named("^Marvok Input device$", 10)
        s.check(devices is not None, "a click among the devices opens \"Marvok Input device\"")
        if not devices:
            return
        time.sleep(1)
        self.matches("Marvok Input device", self.inside(devices, "input-device"),
                     "input-device-window.png", [(390, 300), (200, 300)])
        self.click_inside(devices, 20, 22)
        s.check(self.gone("^Marvok Input device$"), "choosing the first device closes the window")

    def send_picture(self):
        s = self.s
        picture = os.path.join(self.work, "shared.png")
        subprocess.run(["convert", "-size", "80x60", "xc:rgb(200,40,160)", picture], check=True)
        self.click_main(420, 520)
        exchange = s.window_named("^Marvok Echange et Partage$", 15)
        s.check(exchange is not None, "a click on the animated picture opens \"Marvok Echange et Partage\"")
        if not exchange:
            return
        before = self.web_log_length()
        time.sleep(2)
        # Wine shows the menu bar at the top of the window: "Fichier", then its second entry.
        self.click_inside(exchange, 20, 9)
        time.sleep(0.5)
        for key in ("Down", "Down", "Return"):
            s.xdotool("key", key)
            time.sleep(0.3)
        chooser = s.window_named("^Open$|^Ouvrir$", 15)
        s.check(chooser is not None, "\"Fichier\", \"Envoyer\" opens the file dialog")
        if chooser:
            s.xdotool("windowfocus", "--sync", chooser, check_result=False)
            s.xdotool("type", "Z:" + picture.replace("/", "\\"))
            s.xdotool("key", "Return")
            time.sleep(3)
            posted = self.web_requests_since(before, "pc_img_share_post")
            s.check(any(" 200 " in line for line in posted), f"the picture is uploaded: {posted}")
            shot = self.inside(exchange, "picture-exchange")
            s.check(shot(296, 270) == (200, 40, 160), f"and shown as the channel's shared picture: {shot(296, 270)}")
        self.click_main(420, 520)
        s.check(self.gone("^Marvok Echange et Partage$"), "the same click closes the exchange window")
