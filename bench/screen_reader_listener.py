# SPDX-License-Identifier: GPL-3.0-or-later
# Stands in for a screen reader: subscribes to the accessibility events a reader listens to, so
# the program's screen-reader bridge sends every change as it would to a real one. On SIGTERM it
# says how many it heard, how many were caret moves, and how much text the text changes carried.
import pyatspi, sys, signal
count = {'n': 0, 'caret': 0, 'text': 0}
def on(event):
    count['n'] += 1
    if event.type.startswith("object:text-caret-moved"):
        count['caret'] += 1
    elif event.type.startswith("object:text-changed"):
        count['text'] += len(event.any_data or "")
for kind in ["object:text-changed", "object:text-caret-moved", "object:state-changed", "object:property-change", "object:children-changed", "focus:"]:
    pyatspi.Registry.registerEventListener(on, kind)
def bye(*a):
    print("listener saw %d events (%d caret moves), the text changes carrying %d characters"
          % (count['n'], count['caret'], count['text']), flush=True)
    sys.exit(0)
signal.signal(signal.SIGTERM, bye)
print("listening", flush=True)
pyatspi.Registry.start()
