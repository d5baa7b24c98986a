def classFactory(iface):
    from .plugin import KelvoryPlugin
    return KelvoryPlugin()
