# What the resource generator draws: the pictures, light directory and chime
# the client loads from its working folder, then the program's icons.
set(MARVOK_CLIENT_RESOURCE_FILES
    btn-fleche.bmp btn-param.bmp doc_img.bmp synthe_1.bmp 0.bmp
    1.bmp 2.bmp 3.bmp 4.bmp 5.bmp 6.bmp 7.bmp 8.bmp 9.bmp 10.bmp
    vu_meter_2.bmp mini_leds.bmf electron-animation.gif chimes.wav)
set(MARVOK_ICON_FILES marvok.png marvok-256.png marvok.ico)
