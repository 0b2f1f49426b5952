// The test disc's Java menu: a full-screen field in a colour no film chapter has (teal) with a
// white button box labelled PLAY FILM; Enter starts title 1, the film.
import java.awt.Color;
import java.awt.Component;
import java.awt.Font;
import java.awt.Graphics;

import javax.tv.service.SIManager;
import javax.tv.service.selection.ServiceContextFactory;
import javax.tv.xlet.Xlet;
import javax.tv.xlet.XletContext;

import org.bluray.net.BDLocator;
import org.bluray.ti.Title;
import org.bluray.ti.selection.TitleContext;
import org.dvb.event.EventManager;
import org.dvb.event.UserEvent;
import org.dvb.event.UserEventListener;
import org.dvb.event.UserEventRepository;
import org.havi.ui.HScene;
import org.havi.ui.HSceneFactory;
import org.havi.ui.event.HRcEvent;

public class MenuXlet implements Xlet, UserEventListener {
    private XletContext context;
    private HScene scene;
    private UserEventRepository keys;

    static class MenuPicture extends Component {
        public void paint(Graphics g) {
            int w = getWidth(), h = getHeight();
            g.setColor(new Color(0, 128, 128));
            g.fillRect(0, 0, w, h);
            g.setColor(Color.white);
            g.fillRect(w / 3, h * 2 / 5, w / 3, h / 5);
            g.setColor(Color.black);
            g.setFont(new Font("SansSerif", Font.BOLD, h / 12));
            g.drawString("PLAY FILM", w / 3 + w / 24, h / 2 + h / 30);
        }
    }

    public void initXlet(XletContext ctx) {
        context = ctx;
        scene = HSceneFactory.getInstance().getDefaultHScene();
        // The disc's graphics plane is 1280x720 (its Java object says so); the scene has no size
        // yet when the Xlet starts.
        scene.setBounds(0, 0, 1280, 720);
        scene.setBackgroundMode(HScene.BACKGROUND_FILL);
        scene.setBackground(new Color(0, 128, 128));
        MenuPicture picture = new MenuPicture();
        picture.setBounds(0, 0, 1280, 720);
        scene.add(picture);
        scene.validate();
    }

    public void startXlet() {
        scene.setVisible(true);
        scene.repaint();
        keys = new UserEventRepository("menu");
        keys.addKey(HRcEvent.VK_ENTER);
        EventManager.getInstance().addUserEventListener(this, keys);
    }

    public void pauseXlet() {}

    public void destroyXlet(boolean unconditional) {
        EventManager.getInstance().removeUserEventListener(this);
        scene.setVisible(false);
        HSceneFactory.getInstance().dispose(scene);
    }

    public void userEventReceived(UserEvent event) {
        if (event.getType() != HRcEvent.KEY_PRESSED || event.getCode() != HRcEvent.VK_ENTER) return;
        try {
            Title film = (Title) SIManager.createInstance().getService(new BDLocator("bd://1"));
            TitleContext titles = (TitleContext) ServiceContextFactory.getInstance()
                                      .getServiceContext(context);
            titles.start(film, true);
        } catch (Exception e) {
            e.printStackTrace();
        }
    }
}
