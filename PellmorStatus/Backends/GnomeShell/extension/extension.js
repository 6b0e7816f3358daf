/* exported init */
// Pellmor Status in GNOME Shell's top bar. The PellmorStatus companion draws the whole item and publishes
// it on the session bus; this extension puts that picture into the panel, tells the companion the panel's
// height and scale and where the item sits, and hands clicks back. It keeps nothing of its own: while no
// companion runs it shows nothing.
const { Clutter, Cogl, Gio, GLib, GObject, St } = imports.gi;
const Main = imports.ui.main;
const PanelMenu = imports.ui.panelMenu;

// The companion chooses this extension as its host while the extension owns this name.
const HOST_NAME = 'com.pellmor.Status.GnomeShell';
const HOST_PATH = '/com/pellmor/Status/GnomeShell';
const HOST_INTERFACE = `<node>
  <interface name="com.pellmor.Status.GnomeShell">
    <property name="PanelHeight" type="i" access="read"/>
    <property name="ScaleFactor" type="i" access="read"/>
    <property name="PanelFrame" type="(iiii)" access="read"/>
    <property name="ItemFrame" type="(iiii)" access="read"/>
  </interface>
</node>`;

// The companion owns this name while it shows its item here.
const ITEM_NAME = 'com.pellmor.Status.Item';
const ITEM_PATH = '/com/pellmor/Status/Item';
const ItemProxy = Gio.DBusProxy.makeProxyWrapper(`<node>
  <interface name="com.pellmor.Status.Item">
    <property name="Image" type="(iiay)" access="read"/>
    <property name="Description" type="s" access="read"/>
    <property name="MenuEntries" type="as" access="read"/>
    <method name="Activate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="SecondaryActivate"/>
    <method name="ActivateMenuEntry"><arg name="index" type="i" direction="in"/></method>
  </interface>
</node>`);

// Larger pictures than these are no status item; they are refused rather than uploaded.
const MAX_IMAGE_WIDTH = 2048;
const MAX_IMAGE_HEIGHT = 512;

function logFailure(error) {
    if (!error.matches(Gio.IOErrorEnum, Gio.IOErrorEnum.CANCELLED))
        logError(error, 'Pellmor Status');
}

const ItemButton = GObject.registerClass(
class PellmorStatusItemButton extends PanelMenu.Button {
    _init(proxy) {
        super._init(0.5, 'Pellmor Status');
        this._proxy = proxy;
        this._image = new St.Widget({
            x_align: Clutter.ActorAlign.CENTER,
            y_align: Clutter.ActorAlign.CENTER,
        });
        this.add_child(this._image);
        this._changedId = proxy.connect('g-properties-changed', () => this._follow());
        this.connect('destroy', () => proxy.disconnect(this._changedId));
        this._follow();
    }

    get image() {
        return this._image;
    }

    _follow() {
        this._showImage(this._proxy.get_cached_property('Image'));
        this.accessible_name = this._proxy.Description ?? '';
        this._showMenu(this._proxy.MenuEntries ?? []);
    }

    // The picture exactly as the companion drew it: one image pixel per screen pixel, RGBA rows.
    _showImage(image) {
        const [width, height, pixels] = image
            ? [image.get_child_value(0).get_int32(), image.get_child_value(1).get_int32(),
                image.get_child_value(2).get_data_as_bytes()]
            : [0, 0, null];
        const usable = width > 0 && height > 0 && width <= MAX_IMAGE_WIDTH &&
            height <= MAX_IMAGE_HEIGHT && pixels.get_size() === width * height * 4;
        this.visible = usable;
        if (!usable)
            return;
        const content = St.ImageContent.new_with_preferred_size(width, height);
        content.set_bytes(pixels, Cogl.PixelFormat.RGBA_8888, width, height, width * 4);
        this._image.set({ content, width, height });
    }

    // Rebuilt only when the entries change, so an open menu is not closed by a redraw.
    _showMenu(entries) {
        if (entries.join('\n') === this.menu._getMenuItems().map(item => item.label.text).join('\n'))
            return;
        this.menu.removeAll();
        entries.forEach((title, index) =>
            this.menu.addAction(title, () => this._call('ActivateMenuEntryRemote', index)));
    }

    _call(method, ...args) {
        this._proxy[method](...args, (result, error) => error && logFailure(error));
    }

    // Right button: the menu. Left button: a click at its place on the picture (the companion's content
    // tells the timer button from the text). Middle button: the timer. A click acts on its release, which
    // the shell gives the actor that took the press, and only while the pointer is still on the item.
    vfunc_event(event) {
        const type = event.type();
        if (type === Clutter.EventType.TOUCH_BEGIN ||
            (type === Clutter.EventType.BUTTON_PRESS && event.get_button() === Clutter.BUTTON_SECONDARY)) {
            this.menu.toggle();
            return Clutter.EVENT_STOP;
        }
        if (type !== Clutter.EventType.BUTTON_RELEASE || !this._contains(event))
            return Clutter.EVENT_PROPAGATE;
        if (event.get_button() === Clutter.BUTTON_PRIMARY) {
            const [, x, y] = this._image.transform_stage_point(...event.get_coords());
            this._call('ActivateRemote', Math.floor(x), Math.floor(y));
            return Clutter.EVENT_STOP;
        }
        if (event.get_button() === Clutter.BUTTON_MIDDLE) {
            this._call('SecondaryActivateRemote');
            return Clutter.EVENT_STOP;
        }
        return Clutter.EVENT_PROPAGATE;
    }

    _contains(event) {
        const [ok, x, y] = this.transform_stage_point(...event.get_coords());
        return ok && x >= 0 && y >= 0 && x < this.width && y < this.height;
    }
});

class Extension {
    enable() {
        this._host = Gio.DBusExportedObject.wrapJSObject(HOST_INTERFACE, this);
        this._host.export(Gio.DBus.session, HOST_PATH);
        this._hostNameId = Gio.bus_own_name_on_connection(Gio.DBus.session, HOST_NAME,
            Gio.BusNameOwnerFlags.NONE, null, null);
        const themeContext = St.ThemeContext.get_for_stage(global.stage);
        Main.panel.connectObject('notify::allocation', () => this._report(), this);
        themeContext.connectObject('notify::scale-factor', () => this._report(), this);
        this._itemWatchId = Gio.bus_watch_name_on_connection(Gio.DBus.session, ITEM_NAME,
            Gio.BusNameWatcherFlags.NONE, (connection, name, owner) => this._itemAppeared(owner),
            () => this._itemVanished());
    }

    disable() {
        Gio.bus_unwatch_name(this._itemWatchId);
        this._itemVanished();
        Main.panel.disconnectObject(this);
        St.ThemeContext.get_for_stage(global.stage).disconnectObject(this);
        if (this._reportId)
            GLib.source_remove(this._reportId);
        this._reportId = 0;
        Gio.bus_unown_name(this._hostNameId);
        this._host.unexport();
        this._host = null;
    }

    // What the companion reads: the panel as the shell has it now, in stage pixels.
    get PanelHeight() {
        return Main.panel.height;
    }

    get ScaleFactor() {
        return St.ThemeContext.get_for_stage(global.stage).scale_factor;
    }

    get PanelFrame() {
        return frameOf(Main.panel);
    }

    get ItemFrame() {
        return this._button ? frameOf(this._button.image) : [0, 0, 0, 0];
    }

    // Told once the layout is done: in the middle of an allocation the actors' places are not yet known.
    _report() {
        if (this._reportId)
            return;
        this._reportId = GLib.idle_add(GLib.PRIORITY_DEFAULT, () => {
            this._reportId = 0;
            this._host.emit_property_changed('PanelHeight', new GLib.Variant('i', this.PanelHeight));
            this._host.emit_property_changed('ScaleFactor', new GLib.Variant('i', this.ScaleFactor));
            this._host.emit_property_changed('PanelFrame', new GLib.Variant('(iiii)', this.PanelFrame));
            this._host.emit_property_changed('ItemFrame', new GLib.Variant('(iiii)', this.ItemFrame));
            return GLib.SOURCE_REMOVE;
        });
    }

    // The proxy talks to the companion's unique name, so it never mixes up two companions in turn.
    _itemAppeared(owner) {
        this._itemVanished();
        const cancellable = new Gio.Cancellable();
        this._cancellable = cancellable;
        new ItemProxy(Gio.DBus.session, owner, ITEM_PATH, (proxy, error) => {
            if (error)
                logFailure(error);
            else if (!cancellable.is_cancelled())
                this._showButton(proxy);
        }, cancellable, Gio.DBusProxyFlags.DO_NOT_AUTO_START);
    }

    _itemVanished() {
        this._cancellable?.cancel();
        this._cancellable = null;
        if (!this._button)
            return;
        this._button.destroy();
        this._button = null;
        this._report();
    }

    _showButton(proxy) {
        this._button = new ItemButton(proxy);
        Main.panel.addToStatusArea('pellmor-status', this._button);
        // The item's place on screen changes when it or any actor holding it is laid out anew. The
        // connections end with the button (connectObject).
        for (let actor = this._button.image; actor; actor = actor.get_parent())
            actor.connectObject('notify::allocation', () => this._report(), this._button);
    }
}

function frameOf(actor) {
    const [x, y] = actor.get_transformed_position();
    const [width, height] = actor.get_transformed_size();
    return [x, y, width, height].map(Math.round);
}

function init() {
    return new Extension();
}
