import tamra
with tamra.Emulator(images="inspection/run7", width=640, height=480, pixel_format="mono8") as cam:
    cam.start(trigger="software")
    for frame in cam.frames(count=100, trigger=True, timeout=1.0):
        print(frame.number, frame.source_files, frame.array.shape, frame.array.mean())
