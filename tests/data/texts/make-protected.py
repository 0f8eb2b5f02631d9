# Saves an OpenDocument text again with the password "segreto", through
# LibreOffice's UNO interface: python3 make-protected.py in.odt out.odt
import os, subprocess, sys, time
import uno
from com.sun.star.beans import PropertyValue

def prop(name, value):
    p = PropertyValue()
    p.Name, p.Value = name, value
    return p

office = subprocess.Popen(["soffice", "--headless", "--invisible", "--nodefault", "--nologo",
                           "--nolockcheck", "--norestore", "--accept=socket,host=localhost,port=2099;urp;"])
local = uno.getComponentContext()
resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
for _ in range(60):
    try:
        context = resolver.resolve("uno:socket,host=localhost,port=2099;urp;StarOffice.ComponentContext")
        break
    except Exception:
        time.sleep(0.5)
desktop = context.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", context)
url = lambda path: uno.systemPathToFileUrl(os.path.abspath(path))
document = desktop.loadComponentFromURL(url(sys.argv[1]), "_blank", 0, (prop("Hidden", True),))
document.storeToURL(url(sys.argv[2]), (prop("FilterName", "writer8"), prop("Password", "segreto")))
document.close(True)
try:
    desktop.terminate()
except Exception:
    pass
office.wait()
